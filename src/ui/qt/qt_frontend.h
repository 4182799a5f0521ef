#pragma once

#include <QFont>
#include <QWidget>

#include "app/progress_estimator.h"
#include "core/frontend.h"
#include "core/scan_state.h"
#include "text/ui_text_table.h"
#include "ui/qt/dialog_provider.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/recovery_window.h"
#include "ui/qt/status_bar.h"

namespace officecarve::gui {

// The engine's way to the user, made of the real windows: message boxes
// through the dialog provider, the progress windows' labels, the main
// window's visibility and status bar, and Qt's event processing.
class QtFrontend : public Frontend {
 public:
  QtFrontend(QWidget& main_window, StatusBar& status_bar, TForm2& recovery_window,
             TForm3& progress_window, DialogProvider& dialogs, const UiTextTable& texts,
             const ScanState& state);

  MessageAnswer ShowMessage(const Message& message) override;
  void ShowProgressWindow(ProgressWindow window, const std::string& caption) override;
  void SetProgressCaption(ProgressWindow window, const std::string& caption) override;
  void SetProgressLabel(ProgressWindow window, int label, const std::string& text) override;
  void CloseProgressWindow(ProgressWindow window) override;
  void HideMainWindow() override;
  void ShowMainWindow() override;
  void SetStatusPanel(int panel, const std::string& text) override;
  // Panel 3 shows the grid's summary; hovering shows one line per region.
  void GridSettled(const std::string& summary,
                   const std::vector<std::string>& region_lines) override;
  void PumpMessages() override;
  void ReportProgress(ProgressWindow window, uint64_t done_bytes, uint64_t total_bytes,
                      uint64_t found) override;

  // The clock the rate and the time left are measured with (tests and the
  // screenshots set one that moves as they like).
  void SetProgressClock(const ProgressEstimator::Clock& clock);

  // How many message boxes were shown so far: lets a caller tell whether an
  // action it started ended in a message.
  int MessagesShown() const { return messages_shown_; }

 private:
  QWidget& Window(ProgressWindow window) const;
  // The window a message box belongs to: the one the user is looking at.
  QWidget* MessageParent() const;
  // Label5 of the window: the rate and time left, redrawn at most a few
  // times a second unless `now`.
  void ShowEstimate(ProgressWindow window, bool now);

  QWidget& main_window_;
  StatusBar& status_bar_;
  TForm2& recovery_window_;
  TForm3& progress_window_;
  DialogProvider& dialogs_;
  const UiTextTable& texts_;
  const ScanState& state_;
  ProgressEstimator::Clock clock_ = ProgressEstimator::SteadyClock;
  ProgressEstimator estimators_[2];
  std::chrono::steady_clock::time_point estimate_shown_[2]{};
  int messages_shown_ = 0;
};

// The status-bar panel that tells the cluster grid a scan works with.
inline constexpr int kGridPanel = 2;
void ShowGridInStatusBar(StatusBar& status_bar, const std::string& summary,
                         const std::vector<std::string>& region_lines);

// Puts a top-level window in the middle of the screen it is on.
void CentreOnScreen(QWidget& window);

}  // namespace officecarve::gui
