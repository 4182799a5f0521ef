#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/frontend.h"
#include "core/scan_state.h"

namespace officecarve::testing {

// A front end that records what the engine showed and can press buttons at
// chosen moments: a hook runs at every PumpMessages, and message boxes are
// answered from a queue (OK / the first button when the queue is empty).
class RecordingFrontend : public Frontend {
 public:
  struct Event {
    std::string what;  // "message", "show", "caption", "label", "close", "hide-main", ...
    int window = -1;   // 0 search/backup, 1 recovery
    int label = 0;
    std::string text;
  };

  explicit RecordingFrontend(ScanState& state) : state_(state) {}

  MessageAnswer ShowMessage(const Message& message) override;
  void ShowProgressWindow(ProgressWindow window, const std::string& caption) override;
  void SetProgressCaption(ProgressWindow window, const std::string& caption) override;
  void SetProgressLabel(ProgressWindow window, int label, const std::string& text) override;
  void CloseProgressWindow(ProgressWindow window) override;
  void HideMainWindow() override;
  void ShowMainWindow() override;
  void SetStatusPanel(int panel, const std::string& text) override;
  void PumpMessages() override;
  void FileRecovered(const RecoveredFile& file, bool saved) override;
  void ReportProgress(ProgressWindow window, uint64_t done_bytes, uint64_t total_bytes,
                      uint64_t found) override;

  // Called at every pump with the pump's ordinal (1 for the first pump).
  std::function<void(ScanState&, int pump)> on_pump;
  std::deque<MessageAnswer> answers;
  // Keeps every label event (off by default: long scans make many).
  bool record_labels = false;

  std::vector<Event> events;
  std::vector<Message> messages;
  std::vector<RecoveredFile> files;
  struct Progress {
    int window = -1;
    uint64_t done = 0;
    uint64_t total = 0;
    uint64_t found = 0;
  };
  std::vector<Progress> progress;
  std::string status_panels[4];
  std::string labels[2][5];  // last text of each label
  std::string captions[2];
  bool window_open[2] = {false, false};
  bool main_visible = true;
  int pumps = 0;

 private:
  ScanState& state_;
};

}  // namespace officecarve::testing
