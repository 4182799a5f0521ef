#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace officecarve::bench {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point since);

// Seconds to read the file front to back in 64 KiB blocks.
double PlainRead(const std::string& path);

struct ScanTimes {
  double search = 0;
  double whole = 0;
  int recovered = 0;
  long peak_kib = 0;
  bool finished = true;  // false: stopped at the time budget
  bool ran = true;       // false: the scan process failed
};

// Runs a whole recovery of the image into `folder` (as the command line does,
// with or without verdicts) in a child process, so its peak memory is the
// scan's alone. With a budget, the scan is stopped once that many seconds
// have passed and reported as unfinished. With `estimate_grid` the cluster
// grid is worked out as for a source whose file system is gone (as the
// command line does for an image without a boot sector); otherwise the
// working geometry holds.
ScanTimes TimeScan(const std::string& image, const std::string& folder, bool check_verdicts,
                   double budget_seconds = 0, bool estimate_grid = false);

// The file system the recovered files go to: creating files is part of a
// recovery, and its cost differs from one file system to another.
std::string FileSystemOf(const std::filesystem::path& folder);

}  // namespace officecarve::bench
