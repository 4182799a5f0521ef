#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "app/progress_estimator.h"
#include "core/frontend.h"
#include "core/scan_state.h"
#include "text/ui_text_table.h"

namespace officecarve::cli {

// How a failed save is answered when nobody can be asked.
enum class SaveErrorPolicy { kAbort, kIgnore };

// The command line's front end: progress on one stderr line (with the rate
// and the time left), messages on stderr, recovered files on stdout, Ctrl-C
// acting like the windows' buttons.
class TerminalFrontend : public Frontend {
 public:
  struct Options {
    bool quiet = false;        // no per-file lines
    bool interactive = false;  // questions may be asked on the terminal
    bool progress = true;      // show the progress line
    bool assume_yes = false;   // answer Yes/No questions with Yes
    SaveErrorPolicy on_save_error = SaveErrorPolicy::kAbort;
  };

  TerminalFrontend(ScanState& state, const UiTextTable& texts, Options options);
  ~TerminalFrontend() override;

  MessageAnswer ShowMessage(const Message& message) override;
  void ShowProgressWindow(ProgressWindow window, const std::string& caption) override;
  void SetProgressCaption(ProgressWindow window, const std::string& caption) override;
  void SetProgressLabel(ProgressWindow window, int label, const std::string& text) override;
  void CloseProgressWindow(ProgressWindow window) override;
  void HideMainWindow() override {}
  void ShowMainWindow() override {}
  void SetStatusPanel(int, const std::string&) override {}
  void GridSettled(const std::string& summary,
                   const std::vector<std::string>& region_lines) override;
  void PumpMessages() override;
  void ReportProgress(ProgressWindow window, uint64_t done_bytes, uint64_t total_bytes,
                      uint64_t found) override;
  void FileRecovered(const RecoveredFile& file, bool saved) override;

  // True once a failed save was answered with Abort.
  bool SaveAborted() const { return save_aborted_; }
  // Installs the Ctrl-C handler (once per process).
  static void InstallInterruptHandler();

 private:
  void DrawProgress(bool force);
  // The progress line as it would be drawn now, at most `columns` wide: the
  // caption, how far, the rate and times, the count and the sector; a narrow
  // terminal keeps the caption, how far, the time left, the rate and the
  // count first.
  std::string ProgressLine(size_t columns) const;
  void ClearProgress();
  char AskLetter(const std::string& prompt, const std::string& letters);

  ScanState& state_;
  const UiTextTable& texts_;
  Options options_;
  ProgressEstimator estimators_[2];
  bool window_open_[2] = {false, false};
  std::string captions_[2];
  std::string labels_[2][5];
  bool line_drawn_ = false;
  bool save_aborted_ = false;
  int handled_interrupts_ = 0;
  std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace officecarve::cli
