#include "cli/terminal_frontend.h"

#include <cctype>
#include <iostream>
#include <iterator>

#include "app/progress_estimate_text.h"
#include "platform/console.h"
#include "verdict/verdict.h"

namespace officecarve::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Used when the terminal does not say how wide it is.
constexpr size_t kDefaultColumns = 80;

// Columns a UTF-8 text takes: one per character, two for the wide ones of
// the Chinese texts (everything from U+1100 on, near enough for a progress
// line).
size_t DisplayColumns(std::string_view text) {
  size_t columns = 0;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    columns += length >= 3 ? 2 : 1;
    i += length;
  }
  return columns;
}

}  // namespace

TerminalFrontend::TerminalFrontend(ScanState& state, const UiTextTable& texts, Options options)
    : state_(state), texts_(texts), options_(options) {}

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
  if (!window_open_[0] && !window_open_[1]) return;
  const int columns = ErrorTerminalColumns();
  // One column short of the width: a line that fills it would wrap on some
  // terminals, and a wrapped line is not erased by the next draw.
  const std::string line =
      ProgressLine((columns > 1 ? static_cast<size_t>(columns) : kDefaultColumns) - 1);
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  line_drawn_ = true;
}

std::string TerminalFrontend::ProgressLine(size_t columns) const {
  const int w = window_open_[1] ? 1 : (window_open_[0] ? 0 : -1);
  if (w < 0) return {};
  // Label4 names the source; the line shows the moving parts. The recovery
  // window counts in Label1 and shows the sector in Label3, the search and
  // backup window the other way round.
  const ProgressEstimateParts estimate = EstimateParts(texts_, estimators_[w].Estimate());
  struct Part {
    const std::string* text;
    int rank;  // what a narrow terminal keeps first
  };
  const Part parts[] = {{&captions_[w], 0},
                        {&labels_[w][2], 1},
                        {&estimate.rate, 3},
                        {&estimate.elapsed, 5},
                        {&estimate.left, 2},
                        {&labels_[w][w == 1 ? 1 : 3], 4},
                        {&labels_[w][w == 1 ? 3 : 1], 6}};
  bool shown[std::size(parts)] = {};
  size_t width = 0;
  for (int rank = 0; rank <= 6; ++rank) {
    for (size_t i = 0; i < std::size(parts); ++i) {
      if (parts[i].rank != rank || parts[i].text->empty()) continue;
      const size_t more = DisplayColumns(*parts[i].text) + (width > 0 ? 2 : 0);
      if (width + more > columns) continue;
      width += more;
      shown[i] = true;
    }
  }
  std::string line;
  for (size_t i = 0; i < std::size(parts); ++i) {
    if (!shown[i]) continue;
    if (!line.empty()) line += "  ";
    line += *parts[i].text;
  }
  return line;
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
  estimators_[w].Start();
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
  // Time spent paused counts neither as elapsed nor in the rate.
  estimators_[1].SetPaused(state_.run_state == RunState::kPaused);
  DrawProgress(false);
}

void TerminalFrontend::GridSettled(const std::string& /*summary*/,
                                   const std::vector<std::string>& region_lines) {
  ClearProgress();
  std::cout.flush();
  for (const std::string& line : region_lines) std::cerr << line << "\n";
}

void TerminalFrontend::ReportProgress(ProgressWindow window, uint64_t done_bytes,
                                      uint64_t total_bytes, uint64_t /*found*/) {
  estimators_[static_cast<int>(window)].Observe(done_bytes, total_bytes);
}

void TerminalFrontend::FileRecovered(const RecoveredFile& file, bool saved) {
  if (options_.quiet || !saved) return;
  ClearProgress();
  std::cout << file.name << "  " << file.size << " bytes  sector " << file.start_sector << "  ";
  // A document reassembled from several places says so; a whole one keeps
  // the line it always had.
  if (file.byte_runs.size() > 1) std::cout << "fragments: " << file.byte_runs.size() << "  ";
  std::cout << VerdictName(file.verdict.state);
  if (!file.verdict.problem.empty()) std::cout << ": " << file.verdict.problem;
  std::cout << std::endl;
}

}  // namespace officecarve::cli
