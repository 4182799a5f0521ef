#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/application.h"
#include "app/sector_viewer.h"
#include "imaging/backup.h"
#include "scan/scan_driver.h"
#include "source/geometry_choices.h"
#include "ui/qt/dialog_provider.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/qt_frontend.h"
#include "ui/qt/recovery_window.h"
#include "ui/qt/status_bar.h"

namespace officecarve::gui {

// The main window: choose and open a source, choose what to recover and
// where, start the recovery or a backup, and look at sectors in the lower
// half. It owns the two progress windows and the front end the engine
// reaches them through; every decision is the engine's.
class TForm1 : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 870;
  static constexpr int kCollapsedHeight = 238;
  static constexpr int kExpandedHeight = 542;
  static constexpr int kViewerTop = 220;
  static constexpr int kViewerBottom = 513;

  TForm1(Application& app, DialogProvider& dialogs, QWidget* parent = nullptr);
  ~TForm1() override;

  TForm2& RecoveryWindow() { return *recovery_window_; }
  TForm3& ProgressWindow() { return *progress_window_; }
  QtFrontend& EngineFrontend() { return *frontend_; }
  const SectorViewer& Viewer() const { return viewer_; }
  uint32_t FamilyMask() const { return family_mask_; }
  // What the last scan and backup started from this window did.
  const std::optional<ScanReport>& LastScan() const { return last_scan_; }
  const std::optional<BackupOutcome>& LastBackup() const { return last_backup_; }
  const QUrl& GuideUrl() const { return guide_url_; }
  // The output folder the window started with (it may not exist yet).
  const QString& DefaultFolder() const { return default_folder_; }

  QLabel* Label12;
  QComboBox* DriveComboBox1;
  QPushButton* Button1;
  QPushButton* Button10;
  QPushButton* Button2;
  QPushButton* SpeedButton1;
  QLabel* Label5;
  QGroupBox* GroupBox1;
  QLabel* Label9;
  QCheckBox* chkDOC;
  QCheckBox* chkXLS;
  QCheckBox* chkPPT;
  QLabel* Label2;
  QLineEdit* Edit2;
  QPushButton* Button6;
  QPushButton* Button7;
  QLabel* Label8;
  QComboBox* ComboBox3;
  QLabel* Label7;
  QComboBox* ComboBox2;
  QLabel* Label6;
  QComboBox* ComboBox1;
  QLabel* Label3;
  QLineEdit* Edit3;
  QLabel* Label11;
  QLineEdit* Edit4;
  QPushButton* Button12;
  QPushButton* Button11;
  QPlainTextEdit* Memo1;
  QPushButton* Button8;
  QPushButton* Button3;
  QPushButton* Button4;
  QPushButton* Button9;
  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* Button5;
  StatusBar* StatusBar1;

 signals:
  // The user closed the window: the program ends.
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // The sector field's navigation keys.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // main_window.cpp: building the window.
  void BuildTopRows();
  void BuildGroup();
  void BuildViewer();
  void ApplyTexts();
  void ConnectControls();
  void SetExpanded(bool expanded);

  // main_window_source.cpp: opening, closing and presenting a source.
  void FillDrives();
  void OpenDrive();
  void OpenImage();
  void CloseSourceAndReset();
  void PresentSource();
  void ShowGeometryControls();
  // The status bar's grid panel, from the regions a scan would start with.
  void ShowPlannedGrid();
  void ChooseReason(int item);
  void ChooseFileSystemItem(int item);
  void ChooseClusterItem(int item);

  // main_window_actions.cpp: the recovery group's buttons.
  void Browse();
  void ViewFolder();
  void StartRescue();
  void WriteReport(const std::string& folder);
  void Backup();
  void SetFamily(uint32_t bit, bool checked);
  // Runs a long action unless one is already running (events are pumped
  // while it runs, so a queued click could otherwise start a second one).
  void RunExclusive(const std::function<void()>& action);

  // main_window_viewer.cpp: the sector viewer.
  void Navigate(const std::function<void()>& move);
  void GoTo();
  void ShowViewer(bool update_field);
  void DisableViewer();

  Application& app_;
  DialogProvider& dialogs_;
  std::unique_ptr<TForm2> recovery_window_;
  std::unique_ptr<TForm3> progress_window_;
  std::unique_ptr<QtFrontend> frontend_;
  SectorViewer viewer_;
  GeometryControls controls_;
  uint32_t family_mask_ = kAllFamilies;
  std::optional<ScanReport> last_scan_;
  std::optional<BackupOutcome> last_backup_;
  QWidget* viewer_panel_ = nullptr;
  QUrl guide_url_;
  QString default_folder_;
  bool first_show_done_ = false;
  bool busy_ = false;
};

}  // namespace officecarve::gui
