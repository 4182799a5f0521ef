#include <QFileInfo>
#include <QUrl>
#include <filesystem>

#include "app/json_report.h"
#include "carvers/dispatch.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_text.h"

namespace officecarve::gui {
namespace {

const char kImageSaveFilter[] = "磁盘映像文件 (*.img)";

}  // namespace

void TForm1::RunExclusive(const std::function<void()>& action) {
  if (busy_) return;
  busy_ = true;
  action();
  busy_ = false;
}

void TForm1::SetFamily(uint32_t bit, bool checked) {
  if (checked) {
    family_mask_ |= bit;
  } else {
    family_mask_ &= ~bit;
  }
}

void TForm1::Browse() {
  const QString chosen =
      dialogs_.GetExistingDirectory(this, QStringLiteral("恢复文件保存到"), Edit2->text());
  if (!chosen.isEmpty()) Edit2->setText(chosen);
}

void TForm1::ViewFolder() {
  const QString folder = Edit2->text();
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return;
  dialogs_.OpenUrl(QUrl::fromLocalFile(folder));
}

void TForm1::StartRescue() {
  if (!app_.source.IsOpen()) return;
  ScanRequest request;
  request.family_mask = family_mask_;
  request.folder = Edit2->text().toStdString();
  // Only the folder the window proposed may be made; one the user typed must exist.
  request.create_missing_folder = Edit2->text() == default_folder_;
  request.first_text = Edit3->text().toStdString();
  request.last_text = Edit4->text().toStdString();
  request.cluster_item = ComboBox1->currentIndex();
  request.grid = GridChoiceOf(controls_);
  ScanDriver driver(app_.source, *frontend_, app_.state, app_.texts, &DispatchFor);
  last_scan_ = driver.Start(request);
  if (!last_scan_->started && (last_scan_->refusal == TextId::kSelectFolder ||
                               last_scan_->refusal == TextId::kFolderOnSourceDrive)) {
    Edit2->setFocus();
  }
  // A proposed folder is made by the first document saved: with none, there
  // is nothing to report beside.
  if (last_scan_->started && QFileInfo(Edit2->text()).isDir()) WriteReport(request.folder);
}

// The report of the scan beside the documents, as the command line's
// --report leaves it: the verdict and byte runs of every document.
void TForm1::WriteReport(const std::string& folder) {
  const std::string path = (std::filesystem::path(folder) / kReportFileName).string();
  const auto problem = WriteReportFile(path, ScanReportJson(app_.source, *last_scan_));
  if (!problem) return;
  Message message;
  message.caption = app_.texts.Text(TextId::kErrorCaption);
  message.text = std::string(app_.texts.Text(TextId::kReportWriteFailed)) + path;
  message.detail = *problem;
  frontend_->ShowMessage(message);
}

void TForm1::Backup() {
  const std::optional<ScanRange> range =
      CheckBackupRange(app_.source, *frontend_, app_.texts, Edit3->text().toStdString(),
                       Edit4->text().toStdString());
  if (!range) return;
  const QString target =
      dialogs_.GetSaveFileName(this, Text(app_.texts, TextId::kBackupCaption),
                               QString::fromUtf8(kImageSaveFilter), QStringLiteral("img"));
  if (target.isEmpty()) return;
  last_backup_ = RunBackup(app_.source, *frontend_, app_.state, app_.texts, *range,
                           target.toStdString(), SystemImageWriterFactory());
}

}  // namespace officecarve::gui
