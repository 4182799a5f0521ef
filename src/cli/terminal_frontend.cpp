#include "cli/terminal_frontend.h"

#include <cctype>
#include <iostream>

#include "platform/console.h"
#include "verdict/verdict.h"

namespace officecarve::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

TerminalFrontend::TerminalFrontend(ScanState& state, Options options)
    : state_(state), options_(options) {}

TerminalFrontend::~TerminalFrontend() { ClearProgress(); }

void TerminalFrontend::InstallInterruptHandler() { InstallInterruptCounter(); }

void TerminalFrontend::ClearProgress() {
  if (!line_drawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  line_drawn_ = false;
}

void TerminalFrontend::DrawProgress(bool force) {
  if (!options_.progress) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - last_draw_ < kRedrawInterval) return;
  last_draw_ = now;
  const int w = window_open_[1] ? 1 : (window_open_[0] ? 0 : -1);
  if (w < 0) return;
  std::string line = captions_[w];
  // Label4 names the source; the line shows the moving parts.
  for (int label : {1, 2, 3}) {
    if (labels_[w][label].empty()) continue;
    line += "  ";
    line += labels_[w][label];
  }
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  line_drawn_ = true;
}

char TerminalFrontend::AskLetter(const std::string& prompt, const std::string& letters) {
  ClearProgress();
  while (true) {
    std::cerr << prompt << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return letters.front();
    if (!answer.empty()) {
      const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(answer[0])));
      if (letters.find(letter) != std::string::npos) return letter;
    }
  }
}

MessageAnswer TerminalFrontend::ShowMessage(const Message& message) {
  ClearProgress();
  // Keep messages after the file lines printed before them.
  std::cout.flush();
  std::fflush(stdout);
  std::cerr << message.caption << ": " << message.text << "\n";
  if (!message.detail.empty()) std::cerr << message.detail << "\n";
  switch (message.buttons) {
    case MessageButtons::kOk:
      return MessageAnswer::kOk;
    case MessageButtons::kYesNo:
      if (options_.assume_yes) return MessageAnswer::kYes;
      if (!options_.interactive) return MessageAnswer::kNo;
      return AskLetter("[y]es, [n]o? ", "yn") == 'y' ? MessageAnswer::kYes : MessageAnswer::kNo;
    case MessageButtons::kAbortRetryIgnore: {
      char letter = 'a';
      if (options_.interactive) {
        letter = AskLetter("[a]bort, [r]etry, [i]gnore? ", "ari");
      } else if (options_.on_save_error == SaveErrorPolicy::kIgnore) {
        letter = 'i';
      }
      if (letter == 'r') return MessageAnswer::kRetry;
      if (letter == 'i') return MessageAnswer::kIgnore;
      save_aborted_ = true;
      return MessageAnswer::kAbort;
    }
  }
  return MessageAnswer::kOk;
}

void TerminalFrontend::ShowProgressWindow(ProgressWindow window, const std::string& caption) {
  const int w = static_cast<int>(window);
  window_open_[w] = true;
  captions_[w] = caption;
  for (auto& label : labels_[w]) label.clear();
  DrawProgress(true);
}

void TerminalFrontend::SetProgressCaption(ProgressWindow window, const std::string& caption) {
  captions_[static_cast<int>(window)] = caption;
  DrawProgress(true);
}

void TerminalFrontend::SetProgressLabel(ProgressWindow window, int label, const std::string& text) {
  if (label >= 1 && label <= 4) labels_[static_cast<int>(window)][label] = text;
}

void TerminalFrontend::CloseProgressWindow(ProgressWindow window) {
  DrawProgress(true);
  ClearProgress();
  window_open_[static_cast<int>(window)] = false;
}

void TerminalFrontend::PumpMessages() {
  // Each Ctrl-C presses the button of the window that is showing: cancel
  // during the search or a backup, stop during the recovery.
  while (handled_interrupts_ < InterruptCount()) {
    ++handled_interrupts_;
    if (window_open_[1]) {
      state_.run_state = RunState::kStopped;
    } else if (window_open_[0]) {
      state_.search_cancelled = true;
      state_.backup_cancel = 1;
    }
  }
  DrawProgress(false);
}

void TerminalFrontend::GridSettled(const std::string& /*summary*/,
                                   const std::vector<std::string>& region_lines) {
  ClearProgress();
  std::cout.flush();
  for (const std::string& line : region_lines) std::cerr << line << "\n";
}

void TerminalFrontend::FileRecovered(const RecoveredFile& file, bool saved) {
  if (options_.quiet || !saved) return;
  ClearProgress();
  std::cout << file.name << "  " << file.size << " bytes  sector " << file.start_sector << "  "
            << VerdictName(file.verdict.state);
  if (!file.verdict.problem.empty()) std::cout << ": " << file.verdict.problem;
  std::cout << std::endl;
}

}  // namespace officecarve::cli
