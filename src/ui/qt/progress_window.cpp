#include "ui/qt/progress_window.h"

#include <QCloseEvent>

#include "ui/qt/elided_label.h"
#include "ui/qt/numbered_labels.h"
#include "ui/qt/qt_text.h"

namespace officecarve::gui {
namespace {

constexpr int kMargin = 16;
constexpr int kLineHeight = 17;

QLabel* MakeLabel(QWidget* parent, const char* name, int top) {
  auto* label = new ElidedLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(kMargin, top, TForm3::kClientWidth - 2 * kMargin, kLineHeight);
  return label;
}

}  // namespace

TForm3::TForm3(ScanState& state, const UiTextTable& texts)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), state_(state) {
  setObjectName(QStringLiteral("TForm3"));
  setFixedSize(kClientWidth, kClientHeight);
  setWindowTitle(Text(texts, TextId::kBackupCaption));

  Label4 = MakeLabel(this, "Label4", 16);
  Label1 = MakeLabel(this, "Label1", 44);
  Label2 = MakeLabel(this, "Label2", 72);
  Label3 = MakeLabel(this, "Label3", 100);
  Label5 = MakeLabel(this, "Label5", 128);
  Button1 = new QPushButton(Text(texts, TextId::kCancel), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry((kClientWidth - 75) / 2, 160, 75, 25);

  // The same window serves the search and the backup, so one press answers both.
  connect(Button1, &QPushButton::clicked, this, [this] {
    state_.search_cancelled = true;
    state_.backup_cancel = 1;
  });
}

QLabel* TForm3::Label(int number) const {
  return NumberedLabel(number, {Label1, Label2, Label3, Label4});
}

void TForm3::closeEvent(QCloseEvent* event) {
  if (!state_.search_cancelled || state_.backup_cancel == 0) {
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace officecarve::gui
