// Whole-scan benchmark. Builds (once, in a temporary folder) two images of
// documents, pictures and filler, and times on a hot page cache:
//   (a) a plain sequential read of the image in 64 KiB blocks,
//   (b) the search phase, (c) the whole recovery, as the desktop window runs
//   it, (d) the same with a verdict on every document, as the command line runs it,
// printing MB/s, the ratio of each to (a), and the scan's peak memory.
// Image A has 512-byte sectors and no file system, so every sector is
// examined; image B is FAT32 with 4 KiB clusters, so only cluster starts are.
// Usage: officecarve_bench_scan [MiB per image] [KiB between files] [folder]
// (defaults 1024, 1024 and the system's temporary folder: some 500 documents
// and as many other files per GiB). The images and the recovered files go into
// a new folder inside the given one, removed at the end.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/application.h"
#include "bench/bench_image.h"
#include "scan/scan_driver.h"
#include "testimage/null_frontend.h"

namespace {

using namespace officecarve;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
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
  return Seconds(start);
}

// Notes when the recovery window opens: the search (and settling) is over.
class TimingFrontend : public testimage::NullFrontend {
 public:
  void ShowProgressWindow(ProgressWindow window, const std::string&) override {
    if (window == ProgressWindow::kRecovery) recovery_opened = Clock::now();
  }
  Clock::time_point recovery_opened{};
};

struct ScanTimes {
  double search = 0;
  double whole = 0;
  int recovered = 0;
  long peak_kib = 0;
};

// Runs the scan in a child process, so its peak memory is the scan's alone
// and not the image builder's.
ScanTimes TimeScan(const std::string& image, const std::string& folder, bool check_verdicts) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    Application app(TextVariant::English);
    TimingFrontend frontend;
    app.source.OpenImage(image);
    ScanRequest request;
    request.folder = folder;
    request.first_text = "0";
    request.last_text = std::to_string(app.source.Working().last_sector);
    request.check_verdicts = check_verdicts;
    const auto start = Clock::now();
    const ScanReport report = ScanDriver(app.source, frontend, app.state, app.texts).Start(request);
    ScanTimes times;
    times.whole = Seconds(start);
    times.search = std::chrono::duration<double>(frontend.recovery_opened - start).count();
    times.recovered = report.recovered_count;
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
  if (!got) std::fprintf(stderr, "the scan process failed\n");
  times.peak_kib = usage.ru_maxrss;
  return times;
}

constexpr int kRuns = 5;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Each run recovers into a folder of its own, and the folders are removed only
// after the last run of both images: creating files just after deleting as many makes ext4
// search past the recently freed inodes, which would charge that to the scan.
struct RunMedians {
  double plain = 0;
  double search = 0;
  double whole = 0;
  int recovered = 0;
  long peak_kib = 0;
};

RunMedians MeasureRuns(const std::string& image, const std::string& folders, bool check_verdicts) {
  std::vector<double> plain, search, whole;
  RunMedians medians;
  for (int run = 0; run < kRuns; ++run) {
    const std::string folder = folders + std::to_string(run);
    std::filesystem::create_directories(folder);
    PlainRead(image);  // warm the page cache for every run alike
    plain.push_back(PlainRead(image));
    const ScanTimes scan = TimeScan(image, folder, check_verdicts);
    search.push_back(scan.search);
    whole.push_back(scan.whole);
    medians.recovered = scan.recovered;
    medians.peak_kib = std::max(medians.peak_kib, scan.peak_kib);
  }
  medians.plain = Median(plain);
  medians.search = Median(search);
  medians.whole = Median(whole);
  return medians;
}

void Report(const char* title, const std::string& image, uint64_t bytes) {
  const std::string folders = image + ".out";
  const RunMedians scan = MeasureRuns(image, folders, false);
  const RunMedians checked = MeasureRuns(image, folders + "-checked", true);
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("%s (medians of %d runs)\n", title, kRuns);
  std::printf("  (a) plain read      %8.1f MB/s  ratio 1.000\n", mb / scan.plain);
  std::printf("  (b) search phase    %8.1f MB/s  ratio %.3f\n", mb / scan.search,
              scan.plain / scan.search);
  std::printf("  (c) whole recovery  %8.1f MB/s  ratio %.3f  (%.2f x the search, %d documents)\n",
              mb / scan.whole, scan.plain / scan.whole, scan.whole / scan.search, scan.recovered);
  std::printf(
      "  (d) with verdicts   %8.1f MB/s  ratio %.3f  (%.2f x its search; read back and inflated)\n",
      mb / checked.whole, checked.plain / checked.whole, checked.whole / checked.search);
  std::printf("  peak memory of the scan: %.1f MiB (%.1f MiB with verdicts)\n",
              static_cast<double>(scan.peak_kib) / 1024,
              static_cast<double>(checked.peak_kib) / 1024);
}

// The file system the recovered files go to: creating files is part of a
// recovery, and its cost differs from one file system to another.
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

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mebibytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
  const uint64_t spacing_kib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024;
  const std::filesystem::path parent =
      argc > 3 ? std::filesystem::path(argv[3]) : std::filesystem::temp_directory_path();
  const auto folder = parent / "officecarve-bench";
  std::filesystem::create_directories(folder);
  const std::string plain_image = (folder / "sectors.img").string();
  const std::string fat_image = (folder / "fat32.img").string();
  const bench::BenchImageFacts facts =
      bench::WriteBenchImage(plain_image, mebibytes, false, spacing_kib);
  bench::WriteBenchImage(fat_image, mebibytes, true, spacing_kib);
  std::printf(
      "images of %llu MiB: %zu files placed each, %llu KiB apart, largest document %.1f MiB\n",
      static_cast<unsigned long long>(mebibytes), facts.files_placed,
      static_cast<unsigned long long>(spacing_kib),
      static_cast<double>(facts.largest_document) / (1 << 20));
  std::printf("images and recovered files in %s (%s)\n", folder.string().c_str(),
              FileSystemOf(folder).c_str());
  Report("A: 512-byte sectors, every sector examined", plain_image, mebibytes << 20);
  Report("B: FAT32, 4 KiB clusters, known phase", fat_image, mebibytes << 20);
  std::filesystem::remove_all(folder);
  return 0;
}
