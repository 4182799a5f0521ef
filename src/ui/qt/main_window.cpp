#include "ui/qt/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/default_folder.h"
#include "ui/qt/fonts.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/user_guide.h"

namespace officecarve::gui {
namespace {

constexpr int kMargin = 8;
constexpr int kFieldHeight = 24;
constexpr int kButtonHeight = 26;

template <typename Widget>
Widget* Make(QWidget* parent, const char* name) {
  auto* widget = new Widget(parent);
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QPushButton* MakeButton(QWidget* parent, const char* name) {
  auto* button = Make<QPushButton>(parent, name);
  button->setFixedHeight(kButtonHeight);
  button->setAutoDefault(false);
  return button;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int width) {
  auto* edit = Make<QLineEdit>(parent, name);
  edit->setFixedHeight(kFieldHeight);
  if (width > 0) edit->setFixedWidth(width);
  return edit;
}

}  // namespace

TForm1::TForm1(Application& app, DialogProvider& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      app_(app),
      dialogs_(dialogs),
      viewer_(app.source) {
  setObjectName(QStringLiteral("TForm1"));
  InstallFontSubstitutions();
  setFont(InterfaceFont(app_.texts));

  BuildTopRows();
  BuildGroup();
  BuildViewer();
  StatusBar1 = Make<StatusBar>(this, "StatusBar1");

  recovery_window_ = std::make_unique<TForm2>(app_.state, app_.texts);
  recovery_window_->setFont(font());
  progress_window_ = std::make_unique<TForm3>(app_.state, app_.texts);
  progress_window_->setFont(font());
  frontend_ = std::make_unique<QtFrontend>(*this, *StatusBar1, *recovery_window_, *progress_window_,
                                           dialogs_, app_.texts, app_.state);

  ApplyTexts();
  ConnectControls();
  // Where recovered files go until the user chooses another folder: the
  // program's own folder for a copy unpacked somewhere, else a folder among
  // the user's documents, made when the first file is saved.
  default_folder_ = QString::fromStdString(
      DefaultOutputFolder(QCoreApplication::applicationDirPath().toStdString(),
                          std::string(app_.texts.Text(TextId::kRecoveredDocumentsFolder))));
  Edit2->setText(default_folder_);
  guide_url_ = UserGuideUrl(QCoreApplication::applicationDirPath());
  StatusBar1->SetPanelText(3, guide_url_.toString());
  FillDrives();
  CloseSourceAndReset();
  SetExpanded(false);
}

TForm1::~TForm1() = default;

void TForm1::BuildTopRows() {
  auto* drive_row = new QWidget(this);
  drive_row->setGeometry(kMargin, 8, kClientWidth - 2 * kMargin, kButtonHeight + 2);
  auto* row = new QHBoxLayout(drive_row);
  row->setContentsMargins(4, 0, 0, 0);
  Label12 = Make<QLabel>(drive_row, "Label12");
  DriveComboBox1 = Make<QComboBox>(drive_row, "DriveComboBox1");
  DriveComboBox1->setFixedHeight(kFieldHeight);
  DriveComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  DriveComboBox1->setMinimumContentsLength(24);
  Button1 = MakeButton(drive_row, "Button1");
  Button10 = MakeButton(drive_row, "Button10");
  Button2 = MakeButton(drive_row, "Button2");
  SpeedButton1 = MakeButton(drive_row, "SpeedButton1");
  SpeedButton1->setCheckable(true);
  row->addWidget(Label12);
  row->addWidget(DriveComboBox1, 1);
  row->addWidget(Button1);
  row->addWidget(Button10);
  row->addWidget(Button2);
  row->addSpacing(16);
  row->addWidget(SpeedButton1);

  Label5 = Make<QLabel>(this, "Label5");
  Label5->setGeometry(kMargin + 4, 40, kClientWidth - 2 * kMargin - 8, 30);
  Label5->setWordWrap(true);
  Label5->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TForm1::BuildGroup() {
  GroupBox1 = Make<QGroupBox>(this, "GroupBox1");
  GroupBox1->setGeometry(kMargin, 72, kClientWidth - 2 * kMargin, 142);
  auto* rows = new QVBoxLayout(GroupBox1);
  rows->setContentsMargins(10, 6, 10, 6);
  rows->setSpacing(4);
  auto add_row = [rows] {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    rows->addLayout(row);
    return row;
  };

  QHBoxLayout* types = add_row();
  Label9 = Make<QLabel>(GroupBox1, "Label9");
  chkDOC = Make<QCheckBox>(GroupBox1, "chkDOC");
  chkXLS = Make<QCheckBox>(GroupBox1, "chkXLS");
  chkPPT = Make<QCheckBox>(GroupBox1, "chkPPT");
  types->addWidget(Label9);
  for (QCheckBox* box : {chkDOC, chkXLS, chkPPT}) {
    box->setChecked(true);
    box->setFixedHeight(kFieldHeight);
    types->addSpacing(8);
    types->addWidget(box);
  }
  types->addStretch(1);

  QHBoxLayout* folder = add_row();
  Label2 = Make<QLabel>(GroupBox1, "Label2");
  Edit2 = MakeEdit(GroupBox1, "Edit2", 0);
  Button6 = MakeButton(GroupBox1, "Button6");
  Button7 = MakeButton(GroupBox1, "Button7");
  folder->addWidget(Label2);
  folder->addWidget(Edit2, 1);
  folder->addWidget(Button6);
  folder->addWidget(Button7);

  QHBoxLayout* geometry = add_row();
  Label8 = Make<QLabel>(GroupBox1, "Label8");
  ComboBox3 = Make<QComboBox>(GroupBox1, "ComboBox3");
  Label7 = Make<QLabel>(GroupBox1, "Label7");
  ComboBox2 = Make<QComboBox>(GroupBox1, "ComboBox2");
  Label6 = Make<QLabel>(GroupBox1, "Label6");
  ComboBox1 = Make<QComboBox>(GroupBox1, "ComboBox1");
  for (QComboBox* box : {ComboBox3, ComboBox2, ComboBox1}) box->setFixedHeight(kFieldHeight);
  geometry->addWidget(Label8);
  geometry->addWidget(ComboBox3);
  geometry->addSpacing(20);
  geometry->addWidget(Label7);
  geometry->addWidget(ComboBox2);
  geometry->addSpacing(20);
  geometry->addWidget(Label6);
  geometry->addWidget(ComboBox1);
  geometry->addStretch(1);

  QHBoxLayout* range = add_row();
  Label3 = Make<QLabel>(GroupBox1, "Label3");
  Edit3 = MakeEdit(GroupBox1, "Edit3", 130);
  Label11 = Make<QLabel>(GroupBox1, "Label11");
  Edit4 = MakeEdit(GroupBox1, "Edit4", 130);
  Button12 = MakeButton(GroupBox1, "Button12");
  Button11 = MakeButton(GroupBox1, "Button11");
  Button12->setMinimumWidth(110);
  Button11->setMinimumWidth(110);
  range->addWidget(Label3);
  range->addWidget(Edit3);
  range->addWidget(Label11);
  range->addWidget(Edit4);
  range->addStretch(1);
  range->addWidget(Button12);
  range->addWidget(Button11);
}

void TForm1::BuildViewer() {
  viewer_panel_ = new QWidget(this);
  viewer_panel_->setGeometry(0, kViewerTop, kClientWidth, kViewerBottom - kViewerTop);
  Memo1 = Make<QPlainTextEdit>(viewer_panel_, "Memo1");
  Memo1->setGeometry(kMargin, 0, kClientWidth - 2 * kMargin, 256);
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setFont(ViewerFont());
  Memo1->document()->setDocumentMargin(2);

  auto* nav = new QWidget(viewer_panel_);
  nav->setGeometry(kMargin, 262, kClientWidth - 2 * kMargin, kButtonHeight + 2);
  auto* row = new QHBoxLayout(nav);
  row->setContentsMargins(0, 0, 0, 0);
  Button8 = MakeButton(nav, "Button8");
  Button3 = MakeButton(nav, "Button3");
  Button4 = MakeButton(nav, "Button4");
  Button9 = MakeButton(nav, "Button9");
  Label1 = Make<QLabel>(nav, "Label1");
  Edit1 = MakeEdit(nav, "Edit1", 160);
  Button5 = MakeButton(nav, "Button5");
  for (QPushButton* button : {Button8, Button3, Button4, Button9}) {
    button->setFixedWidth(44);
    row->addWidget(button);
  }
  row->addStretch(1);
  row->addWidget(Label1);
  row->addWidget(Edit1);
  row->addWidget(Button5);
  Edit1->installEventFilter(this);
}

void TForm1::ApplyTexts() {
  const UiTextTable& texts = app_.texts;
  setWindowTitle(Text(texts, TextId::kWindowTitle));
  Label12->setText(Text(texts, TextId::kLostDataOnDrive));
  Button1->setText(Text(texts, TextId::kOpenDrive));
  Button10->setText(Text(texts, TextId::kOpenImageFile));
  Button2->setText(Text(texts, TextId::kClose));
  SpeedButton1->setText(Text(texts, TextId::kMore));
  Label5->setText(Text(texts, TextId::kSteps));
  Label9->setText(Text(texts, TextId::kFileType));
  chkDOC->setText(QStringLiteral("DOC(DOCX, WPS)"));
  chkXLS->setText(QStringLiteral("XLS(XLSX, ET)"));
  chkPPT->setText(QStringLiteral("PPT(PPTX, DPS)"));
  Label2->setText(Text(texts, TextId::kSaveFilesTo));
  Button6->setText(Text(texts, TextId::kBrowse));
  Button7->setText(Text(texts, TextId::kViewFolder));
  Label8->setText(Text(texts, TextId::kReason));
  ComboBox3->addItems({Text(texts, TextId::kReasonDeleted), Text(texts, TextId::kReasonFormatted),
                       Text(texts, TextId::kReasonRepartitioned)});
  ComboBox3->setCurrentIndex(0);
  Label7->setText(Text(texts, TextId::kPreviousFileSystem));
  ComboBox2->addItems({"FAT", "FAT32", "NTFS", "exFAT", "OTHER"});
  Label6->setText(Text(texts, TextId::kClusterSize));
  ComboBox1->addItems({"0.5K", "1K", "2K", "4K", "8K", "16K", "32K", "64K", "128K"});
  Label3->setText(Text(texts, TextId::kScanRange));
  Label11->setText(QStringLiteral("-"));
  Button12->setText(Text(texts, TextId::kStartRescue));
  Button11->setText(Text(texts, TextId::kBackupToImage));
  Button8->setText(QStringLiteral("|<"));
  Button3->setText(QStringLiteral("<"));
  Button4->setText(QStringLiteral(">"));
  Button9->setText(QStringLiteral(">|"));
  Label1->setText(Text(texts, TextId::kViewerSectorLabel));
  Button5->setText(Text(texts, TextId::kGoto));
}

void TForm1::ConnectControls() {
  connect(Button1, &QPushButton::clicked, this, [this] { RunExclusive([this] { OpenDrive(); }); });
  connect(Button10, &QPushButton::clicked, this, [this] { RunExclusive([this] { OpenImage(); }); });
  connect(Button2, &QPushButton::clicked, this,
          [this] { RunExclusive([this] { CloseSourceAndReset(); }); });
  connect(SpeedButton1, &QPushButton::toggled, this, &TForm1::SetExpanded);
  connect(chkDOC, &QCheckBox::toggled, this, [this](bool on) { SetFamily(kFamilyDoc, on); });
  connect(chkXLS, &QCheckBox::toggled, this, [this](bool on) { SetFamily(kFamilyXls, on); });
  connect(chkPPT, &QCheckBox::toggled, this, [this](bool on) { SetFamily(kFamilyPpt, on); });
  connect(Button6, &QPushButton::clicked, this, [this] { RunExclusive([this] { Browse(); }); });
  connect(Button7, &QPushButton::clicked, this, [this] { ViewFolder(); });
  // activated: only the user's picks, not the presentation's own changes.
  connect(ComboBox3, &QComboBox::activated, this, &TForm1::ChooseReason);
  connect(ComboBox2, &QComboBox::activated, this, &TForm1::ChooseFileSystemItem);
  connect(ComboBox1, &QComboBox::activated, this, &TForm1::ChooseClusterItem);
  connect(Button12, &QPushButton::clicked, this,
          [this] { RunExclusive([this] { StartRescue(); }); });
  connect(Button11, &QPushButton::clicked, this, [this] { RunExclusive([this] { Backup(); }); });
  connect(Button8, &QPushButton::clicked, this, [this] { Navigate([this] { viewer_.First(); }); });
  connect(Button3, &QPushButton::clicked, this,
          [this] { Navigate([this] { viewer_.Previous(); }); });
  connect(Button4, &QPushButton::clicked, this, [this] { Navigate([this] { viewer_.Next(); }); });
  connect(Button9, &QPushButton::clicked, this, [this] { Navigate([this] { viewer_.Last(); }); });
  connect(Button5, &QPushButton::clicked, this, [this] { GoTo(); });
  connect(StatusBar1, &StatusBar::AddressClicked, this, [this] { dialogs_.OpenUrl(guide_url_); });
}

void TForm1::SetExpanded(bool expanded) {
  const int height = expanded ? kExpandedHeight : kCollapsedHeight;
  setFixedSize(kClientWidth, height);
  StatusBar1->setGeometry(0, height - StatusBar::kHeight, kClientWidth, StatusBar::kHeight);
  viewer_panel_->setVisible(expanded);
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (first_show_done_) return;
  first_show_done_ = true;
  CentreOnScreen(*this);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    return;
  }
  CloseSourceAndReset();
  event->accept();
  emit Closed();
}

}  // namespace officecarve::gui
