#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/recovered_file.h"

namespace officecarve {

enum class MessageButtons { kOk, kYesNo, kAbortRetryIgnore };
enum class MessageAnswer { kOk, kYes, kNo, kAbort, kRetry, kIgnore };

// A modal message box: an error ("错误") or a notice ("提示"), its text from
// the text table, and an optional operating-system reason as a second line.
struct Message {
  std::string caption;
  std::string text;
  std::string detail;
  MessageButtons buttons = MessageButtons::kOk;
};

// The two progress windows: TForm3 serves the search and the backup, TForm2
// the recovery. Each has Label1..Label4 that the engine writes.
enum class ProgressWindow { kSearchOrBackup, kRecovery };

// How the engine reaches the user. The Qt windows implement it with real
// widgets, the command line with stderr, tests with a recording fake. The
// windows' buttons only set the flags of ScanState / the backup's cancel flag;
// the engine reads them after PumpMessages.
class Frontend {
 public:
  virtual ~Frontend() = default;

  virtual MessageAnswer ShowMessage(const Message& message) = 0;

  virtual void ShowProgressWindow(ProgressWindow window, const std::string& caption) = 0;
  virtual void SetProgressCaption(ProgressWindow window, const std::string& caption) = 0;
  // label is 1..4 (Label1..Label4 of the window).
  virtual void SetProgressLabel(ProgressWindow window, int label, const std::string& text) = 0;
  virtual void CloseProgressWindow(ProgressWindow window) = 0;

  virtual void HideMainWindow() = 0;
  virtual void ShowMainWindow() = 0;
  // panel is 0..3 of the main window's status bar.
  virtual void SetStatusPanel(int panel, const std::string& text) = 0;
  // The cluster grid the recovery works with, once the search has settled
  // it: a one-line summary, and one line per region of the source, each
  // with the summary's "Cluster grid: " prefix.
  virtual void GridSettled(const std::string& /*summary*/,
                           const std::vector<std::string>& /*region_lines*/) {}

  // Lets the windows handle pending events (button clicks set flags).
  virtual void PumpMessages() = 0;

  // How far the phase in `window` has come, in bytes of the source: examined
  // by the search, copied by the backup, or passed over from the top by the
  // recovery. Called where the labels are updated, for the rate and the time
  // left; `found` is what the phase counts (documents found, files recovered,
  // unreadable sectors).
  virtual void ReportProgress(ProgressWindow /*window*/, uint64_t /*done_bytes*/,
                              uint64_t /*total_bytes*/, uint64_t /*found*/) {}

  // A recovered document was written (or its save was attempted and failed).
  virtual void FileRecovered(const RecoveredFile& /*file*/, bool /*saved*/) {}
};

}  // namespace officecarve
