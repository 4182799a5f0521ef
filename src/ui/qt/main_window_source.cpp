#include "app/open_source.h"
#include "platform/block_devices.h"
#include "source/grid_text.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_text.h"

namespace officecarve::gui {
namespace {

// Image files first, then everything.
const char kImageOpenFilter[] = "磁盘映像文件 (*.img);;所有文件 (*)";

}  // namespace

void TForm1::FillDrives() {
  DriveComboBox1->clear();
  for (const BlockDevice& device : ListBlockDevices()) {
    DriveComboBox1->addItem(ToQString(DescribeBlockDevice(device)),
                            QString::fromStdString(device.path));
  }
}

void TForm1::OpenDrive() {
  CloseSourceAndReset();
  const std::string path = DriveComboBox1->currentData().toString().toStdString();
  if (!OpenVolumeAndReport(app_, *frontend_, path, path)) return;
  PresentSource();
}

void TForm1::OpenImage() {
  // Closed first, so that a cancelled dialog leaves nothing open.
  CloseSourceAndReset();
  const QString path =
      dialogs_.GetOpenFileName(this, QString(), QString::fromUtf8(kImageOpenFilter));
  if (path.isEmpty()) return;
  if (!OpenImageAndReport(app_, *frontend_, path.toStdString())) return;
  PresentSource();
}

void TForm1::CloseSourceAndReset() {
  app_.source.CloseSource();
  StatusBar1->SetPanelText(kGridPanel, QString());
  viewer_.Clear();
  DisableViewer();
  GroupBox1->hide();
}

void TForm1::PresentSource() {
  controls_ = PresentOpenedSource(app_.source, app_.texts);
  ShowGeometryControls();
  Edit3->setText(QString::fromStdString(controls_.first_text));
  Edit4->setText(QString::fromStdString(controls_.last_text));
  StatusBar1->SetPanelText(1, QString::fromStdString(controls_.sector_count_text));
  Memo1->setEnabled(true);
  Edit1->setEnabled(true);
  Button5->setEnabled(true);
  viewer_.ShowSector(0);
  ShowViewer(true);
  GroupBox1->show();
}

void TForm1::ShowGeometryControls() {
  ComboBox3->setCurrentIndex(static_cast<int>(controls_.reason));
  ComboBox2->setCurrentIndex(controls_.file_system_item);
  ComboBox1->setCurrentIndex(controls_.cluster_item);
  ComboBox2->setEnabled(controls_.selectors_enabled);
  ComboBox1->setEnabled(controls_.selectors_enabled);
  ShowPlannedGrid();
}

void TForm1::ShowPlannedGrid() {
  // What a scan of the whole source would start from; a scan replaces it
  // with the grid it settled.
  const uint32_t bytes_per_sector = app_.source.Working().bytes_per_sector;
  const std::vector<ScanRegion> regions =
      PlanScanRegions(app_.source, GridChoiceOf(controls_), {0, app_.source.Working().last_sector});
  std::vector<std::string> lines;
  for (const ScanRegion& region : regions) {
    lines.push_back(std::string(app_.texts.Text(TextId::kGridPrefix)) +
                    RegionLine(app_.texts, region, bytes_per_sector));
  }
  ShowGridInStatusBar(*StatusBar1, GridSummary(app_.texts, regions, bytes_per_sector), lines);
}

void TForm1::ChooseReason(int item) {
  if (!app_.source.IsOpen()) return;
  ChooseLossReason(app_.source, controls_, static_cast<LossReason>(item), *frontend_, app_.texts);
  ShowGeometryControls();
}

void TForm1::ChooseFileSystemItem(int item) {
  if (!app_.source.IsOpen()) return;
  ChooseFileSystem(app_.source, controls_, item);
  ShowGeometryControls();
}

void TForm1::ChooseClusterItem(int item) {
  if (!app_.source.IsOpen()) return;
  ChooseClusterSize(app_.source, controls_, item);
  ShowGeometryControls();
}

}  // namespace officecarve::gui
