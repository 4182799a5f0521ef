// Whole-scan throughput: a generated image of sample documents and noise is
// scanned and recovered from, and the time is compared with a plain read of
// the same file. Usage: officecarve_bench_scan [MiB] (default 256).
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/application.h"
#include "demo/embedded_samples.h"
#include "scan/scan_driver.h"
#include "testimage/image_builder.h"
#include "testimage/null_frontend.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double PlainRead(const std::string& path) {
  const auto start = Clock::now();
  const int fd = open(path.c_str(), O_RDONLY);
  std::vector<char> buffer(1 << 20);
  while (read(fd, buffer.data(), buffer.size()) > 0) {
  }
  close(fd);
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace officecarve;
  const uint64_t mebibytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
  const uint64_t sectors = mebibytes * 2048;
  testimage::ImageBuilder image(sectors);
  image.FillNoise(0, static_cast<int64_t>(sectors) - 1, 7);
  // Sample documents every 4 MiB, so the carvers have work too.
  const auto samples = demo::EmbeddedSamples();
  size_t next = 0;
  for (uint64_t sector = 8192; sector + 512 < sectors; sector += 8192) {
    const auto& sample = samples[next++ % samples.size()];
    image.Place(static_cast<int64_t>(sector), sample.bytes);
  }
  const auto folder = std::filesystem::temp_directory_path() / "officecarve-bench";
  std::filesystem::create_directories(folder / "out");
  const std::string path = (folder / "scan.img").string();
  image.WriteTo(path);

  PlainRead(path);  // warm the page cache for both runs alike
  const double plain = PlainRead(path);

  Application app(TextVariant::English);
  testimage::NullFrontend frontend;
  app.source.OpenImage(path);
  ScanRequest request;
  request.folder = (folder / "out").string();
  request.first_text = "0";
  request.last_text = std::to_string(app.source.Working().last_sector);
  const auto start = Clock::now();
  const ScanReport report = ScanDriver(app.source, frontend, app.state, app.texts).Start(request);
  const double scan = Seconds(start);

  std::printf("image %llu MiB: plain read %.3f s, scan %.3f s (%d files)\n",
              static_cast<unsigned long long>(mebibytes), plain, scan, report.recovered_count);
  std::printf("scan throughput / plain read throughput = %.3f\n", plain / scan);
  std::filesystem::remove_all(folder);
  return 0;
}
