#include "support/recording_frontend.h"

namespace officecarve::testing {

MessageAnswer RecordingFrontend::ShowMessage(const Message& message) {
  messages.push_back(message);
  events.push_back({"message", -1, 0, message.text});
  if (!answers.empty()) {
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  switch (message.buttons) {
    case MessageButtons::kYesNo:
      return MessageAnswer::kNo;
    case MessageButtons::kAbortRetryIgnore:
      return MessageAnswer::kAbort;
    case MessageButtons::kOk:
      break;
  }
  return MessageAnswer::kOk;
}

void RecordingFrontend::ShowProgressWindow(ProgressWindow window, const std::string& caption) {
  const int w = static_cast<int>(window);
  window_open[w] = true;
  captions[w] = caption;
  events.push_back({"show", w, 0, caption});
}

void RecordingFrontend::SetProgressCaption(ProgressWindow window, const std::string& caption) {
  const int w = static_cast<int>(window);
  captions[w] = caption;
  events.push_back({"caption", w, 0, caption});
}

void RecordingFrontend::SetProgressLabel(ProgressWindow window, int label,
                                         const std::string& text) {
  const int w = static_cast<int>(window);
  if (label >= 1 && label <= 4) labels[w][label] = text;
  if (record_labels) events.push_back({"label", w, label, text});
}

void RecordingFrontend::CloseProgressWindow(ProgressWindow window) {
  const int w = static_cast<int>(window);
  window_open[w] = false;
  events.push_back({"close", w, 0, ""});
}

void RecordingFrontend::HideMainWindow() {
  main_visible = false;
  events.push_back({"hide-main", -1, 0, ""});
}

void RecordingFrontend::ShowMainWindow() {
  main_visible = true;
  events.push_back({"show-main", -1, 0, ""});
}

void RecordingFrontend::SetStatusPanel(int panel, const std::string& text) {
  if (panel >= 0 && panel < 4) status_panels[panel] = text;
  events.push_back({"status", -1, panel, text});
}

void RecordingFrontend::PumpMessages() {
  ++pumps;
  if (on_pump) on_pump(state_, pumps);
}

void RecordingFrontend::FileRecovered(const RecoveredFile& file, bool saved) {
  files.push_back(file);
  events.push_back({saved ? "file" : "file-failed", -1, 0, file.name});
}

void RecordingFrontend::ReportProgress(ProgressWindow window, uint64_t done_bytes,
                                       uint64_t total_bytes, uint64_t found) {
  progress.push_back({static_cast<int>(window), done_bytes, total_bytes, found});
}

}  // namespace officecarve::testing
