#include "bench/bench_run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "app/application.h"
#include "carvers/dispatch.h"
#include "scan/scan_driver.h"
#include "testimage/null_frontend.h"

namespace officecarve::bench {
namespace {

// Notes when the recovery window opens (the search and settling are over),
// and stops the scan once its budget is spent.
class TimingFrontend : public testimage::NullFrontend {
 public:
  TimingFrontend(ScanState& state, Clock::time_point deadline)
      : state_(state), deadline_(deadline) {}
  void ShowProgressWindow(ProgressWindow window, const std::string&) override {
    if (window == ProgressWindow::kRecovery) recovery_opened = Clock::now();
  }
  // The clock is looked at every so many calls: the recovery pumps once or
  // twice per candidate, and reading the clock each time would be timed too.
  void PumpMessages() override {
    if (++pumps_ % 256 != 0 || Clock::now() < deadline_) return;
    state_.search_cancelled = true;
    state_.run_state = RunState::kStopped;
  }
  Clock::time_point recovery_opened{};

 private:
  ScanState& state_;
  Clock::time_point deadline_;
  uint64_t pumps_ = 0;
};

}  // namespace

double SecondsSince(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double PlainRead(const std::string& path) {
  const auto start = Clock::now();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  std::vector<char> buffer(64 * 1024);
  while (read(fd, buffer.data(), buffer.size()) > 0) {
  }
  close(fd);
  return SecondsSince(start);
}

ScanTimes TimeScan(const std::string& image, const std::string& folder, bool check_verdicts,
                   double budget_seconds, bool estimate_grid) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return {.ran = false};
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    Application app(TextVariant::English);
    app.source.OpenImage(image);
    const auto start = Clock::now();
    const auto deadline = budget_seconds > 0
                              ? start + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(budget_seconds))
                              : Clock::time_point::max();
    TimingFrontend frontend(app.state, deadline);
    ScanRequest request;
    request.folder = folder;
    request.first_text = "0";
    request.last_text = std::to_string(app.source.Working().last_sector);
    request.check_verdicts = check_verdicts;
    if (estimate_grid) request.grid = {LossReason::kRepartitioned, false};
    const ScanReport report =
        ScanDriver(app.source, frontend, app.state, app.texts, &DispatchFor).Start(request);
    ScanTimes times;
    times.whole = SecondsSince(start);
    times.search = std::chrono::duration<double>(frontend.recovery_opened - start).count();
    times.recovered = report.recovered_count;
    times.finished = !report.stopped && !report.search_cancelled;
    const bool written = write(pipe_ends[1], &times, sizeof times) == sizeof times;
    _exit(written ? 0 : 1);
  }
  close(pipe_ends[1]);
  ScanTimes times;
  const bool got = read(pipe_ends[0], &times, sizeof times) == sizeof times;
  close(pipe_ends[0]);
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  if (!got) {
    std::fprintf(stderr, "the scan process failed\n");
    times.ran = false;
  }
  times.peak_kib = usage.ru_maxrss;
  return times;
}

std::string FileSystemOf(const std::filesystem::path& folder) {
  struct statfs info {};
  if (statfs(folder.c_str(), &info) != 0) return "unknown";
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53:
      return "ext2/3/4";
    case 0x01021994:
      return "tmpfs";
    case 0x58465342:
      return "xfs";
    case 0x9123683E:
      return "btrfs";
    default:
      break;
  }
  char hex[32];
  std::snprintf(hex, sizeof hex, "type %#lx", static_cast<unsigned long>(info.f_type));
  return hex;
}

}  // namespace officecarve::bench
