// Storm benchmark. For each storm (every block the header of a file of one
// kind that never ends), the mixes, and storms of truncated real files: writes
// the image, reads it once to warm the page cache, times a plain read (the
// best of three), then a whole recovery without verdicts, as the command line
// runs it (the best of three too), stopped once its time budget is spent.
// Prints the throughput, its ratio to the plain read and the scan's peak
// memory. A carver whose failing walks re-read what later candidates read
// makes its storm quadratic: on a large image it does not finish.
// Usage: officecarve_bench_storm [MiB] [folder] [budget seconds] [name filter]
// (defaults 32, /dev/shm where it exists or else the temporary folder, 20,
// every storm). Each image and its recovered files go into a new folder
// inside the given one, removed when the storm is done.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_run.h"
#include "demo/embedded_samples.h"
#include "testimage/storm.h"

namespace {

using namespace officecarve;
using namespace officecarve::bench;

constexpr uint32_t kBlockBytes = 4096;

struct Storm {
  std::string name;
  std::function<std::vector<uint8_t>(uint64_t bytes)> build;
};

std::vector<uint8_t> SampleBytes(std::string_view name) {
  for (const demo::EmbeddedFile& sample : demo::EmbeddedSamples()) {
    if (sample.name == name) return {sample.bytes.begin(), sample.bytes.end()};
  }
  throw std::runtime_error("no embedded sample " + std::string(name));
}

std::vector<Storm> Storms() {
  std::vector<Storm> storms;
  for (const testimage::StormKind& storm : testimage::StormKinds()) {
    storms.push_back({std::string(storm.name), [&storm](uint64_t bytes) {
                        return testimage::StormImage(storm, bytes, kBlockBytes);
                      }});
  }
  storms.push_back({"mix", [](uint64_t bytes) {
                      return testimage::MixedStormImage(bytes, kBlockBytes, false);
                    }});
  storms.push_back({"mix-reaching-image-end", [](uint64_t bytes) {
                      return testimage::MixedStormImage(bytes, kBlockBytes, true);
                    }});
  for (const testimage::TruncatedStorm& storm : testimage::TruncatedStorms()) {
    storms.push_back({std::string(storm.name), [&storm](uint64_t bytes) {
                        return testimage::TruncatedStormImage(SampleBytes(storm.sample), bytes,
                                                              kBlockBytes);
                      }});
  }
  return storms;
}

void WriteImage(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::filesystem::path DefaultFolder() {
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error)) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mebibytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 32;
  const std::filesystem::path parent = argc > 2 ? std::filesystem::path(argv[2]) : DefaultFolder();
  const double budget = argc > 3 ? std::strtod(argv[3], nullptr) : 20;
  const std::string filter = argc > 4 ? argv[4] : "";
  const auto folder = parent / "officecarve-bench-storm";
  std::filesystem::create_directories(folder);
  const uint64_t bytes = mebibytes << 20;
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("storms of %llu MiB, a header every %u bytes, in %s (%s); budget %.0f s each\n",
              static_cast<unsigned long long>(mebibytes), kBlockBytes, folder.string().c_str(),
              FileSystemOf(folder).c_str(), budget);
  std::printf("%-28s %10s %10s %8s %9s\n", "storm", "read MB/s", "scan MB/s", "ratio", "peak MiB");
  for (const Storm& storm : Storms()) {
    if (!filter.empty() && storm.name.find(filter) == std::string::npos) continue;
    const std::string image = (folder / (storm.name + ".img")).string();
    const std::string output = image + ".out";
    WriteImage(image, storm.build(bytes));
    std::filesystem::create_directories(output);
    PlainRead(image);  // warm the page cache
    double plain = PlainRead(image);
    for (int run = 0; run < 2; ++run) plain = std::min(plain, PlainRead(image));
    ScanTimes scan = TimeScan(image, output, false, budget);
    // The best of three as well: one recovery of a few milliseconds varies
    // by a third from run to run on a busy machine.
    for (int run = 1; run < 3 && scan.ran && scan.finished; ++run) {
      std::filesystem::remove_all(output);
      std::filesystem::create_directories(output);
      const ScanTimes again = TimeScan(image, output, false, budget);
      if (!again.ran || !again.finished) break;
      scan.whole = std::min(scan.whole, again.whole);
      scan.peak_kib = std::max(scan.peak_kib, again.peak_kib);
    }
    const double peak = static_cast<double>(scan.peak_kib) / 1024;
    if (!scan.ran) {
      std::printf("%-28s %10.1f %10s %8s %9.1f  the scan process failed\n", storm.name.c_str(),
                  mb / plain, "-", "-", peak);
    } else if (!scan.finished) {
      std::printf("%-28s %10.1f %10s %8s %9.1f  did not finish within %.0f s\n", storm.name.c_str(),
                  mb / plain, "-", "-", peak, budget);
    } else {
      std::printf("%-28s %10.1f %10.1f %8.3f %9.1f\n", storm.name.c_str(), mb / plain,
                  mb / scan.whole, plain / scan.whole, peak);
    }
    std::fflush(stdout);
    std::filesystem::remove_all(output);
    std::filesystem::remove(image);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
