#include "ui/qt/recovery_window.h"

#include <QCloseEvent>

#include "ui/qt/elided_label.h"
#include "ui/qt/numbered_labels.h"
#include "ui/qt/qt_text.h"

namespace officecarve::gui {
namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top) {
  auto* label = new ElidedLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  // Left-aligned so that the growing texts run to the right.
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setGeometry(left, top - 2, TForm2::kClientWidth - left - 6, 17);
  return label;
}

}  // namespace

TForm2::TForm2(ScanState& state, const UiTextTable& texts)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), state_(state) {
  setObjectName(QStringLiteral("TForm2"));
  setFixedSize(kClientWidth, kClientHeight);
  setWindowTitle(Text(texts, TextId::kRescuingFile));

  Label4 = MakeLabel(this, "Label4", 64, 11);
  Label2 = MakeLabel(this, "Label2", 40, 35);
  Label3 = MakeLabel(this, "Label3", 52, 59);
  Label1 = MakeLabel(this, "Label1", 28, 83);
  Label5 = MakeLabel(this, "Label5", 28, 107);
  Label4->setText(Text(texts, TextId::kSourcePrefix));
  Label2->setText(Text(texts, TextId::kScannedPrefix));
  Label3->setText(Text(texts, TextId::kSectorPrefix));
  Label1->setText(Text(texts, TextId::kSuccessPrefix));

  SpeedButton1 = new QPushButton(Text(texts, TextId::kPause), this);
  SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
  SpeedButton1->setCheckable(true);
  SpeedButton1->setGeometry(55, 136, 73, 25);
  Button2 = new QPushButton(Text(texts, TextId::kStop), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(175, 136, 75, 25);

  connect(SpeedButton1, &QPushButton::toggled, this,
          [this](bool down) { state_.run_state = down ? RunState::kPaused : RunState::kRunning; });
  connect(Button2, &QPushButton::clicked, this, [this] { state_.run_state = RunState::kStopped; });
}

void TForm2::Reset() {
  const QSignalBlocker blocker(SpeedButton1);
  SpeedButton1->setChecked(false);
  Label5->clear();
}

QLabel* TForm2::Label(int number) const {
  return NumberedLabel(number, {Label1, Label2, Label3, Label4});
}

void TForm2::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace officecarve::gui
