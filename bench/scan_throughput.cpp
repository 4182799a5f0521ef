// Whole-scan benchmark. Builds (once, in a temporary folder) two images of
// documents, pictures and filler, and times on a hot page cache:
//   (a) a plain sequential read of the image in 64 KiB blocks,
//   (b) the search phase, (c) the whole recovery, as the desktop window runs
//   it, (d) the same with a verdict on every document, as the command line runs it,
// printing MB/s, the ratio of each to (a), and the scan's peak memory.
// Image A has 512-byte sectors and no file system, so every sector is
// examined; image B is FAT32 with 4 KiB clusters, so only cluster starts are.
// Image C is the realistic one: its first eighth (at most 128 MiB) documents
// split around pictures, media and archives, back to back, then zeros, random
// bytes and text; its whole recovery should take at most 2.5 times a plain
// read, in at most 64 MiB plus the largest document.
// Usage: officecarve_bench_scan [MiB per image] [KiB between files] [folder] [images]
// (defaults 1024, 1024, the system's temporary folder and ABC: some 500 documents
// and as many other files per GiB). The images and the recovered files go into
// a new folder inside the given one, removed at the end.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_image.h"
#include "bench/bench_run.h"

namespace {

using namespace officecarve;
using namespace officecarve::bench;

constexpr int kRuns = 7;

// The median and the range of one figure over the runs.
struct Spread {
  double median = 0;
  double low = 0;
  double high = 0;
};

Spread SpreadOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values.front(), values.back()};
}

// Every run pairs a plain read with the scans that follow it at once, and
// the ratios are taken within the run: a shared machine's speed drifts
// between runs more than within one. The scans with and without verdicts
// alternate for the same reason. Each recovers into a folder of its own, and
// the folders are removed only after the last run of both images: creating
// files just after deleting as many makes ext4 without a journal search past
// the recently freed inodes, which would be charged to the scan.
struct Figures {
  Spread plain_mbs, search_mbs, whole_mbs, checked_mbs;
  Spread search_ratio, whole_ratio, checked_ratio, whole_over_search, checked_over_search;
  int recovered = 0;
  long peak_kib = 0;
  long checked_peak_kib = 0;
};

Figures Measure(const std::string& image, uint64_t bytes) {
  const double mb = static_cast<double>(bytes) / 1e6;
  std::vector<double> plain_mbs, search_mbs, whole_mbs, checked_mbs;
  std::vector<double> search_ratio, whole_ratio, checked_ratio, whole_over_search,
      checked_over_search;
  Figures figures;
  for (int run = 0; run < kRuns; ++run) {
    const std::string folder = image + ".out" + std::to_string(run);
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(folder + "-checked");
    PlainRead(image);  // warm the page cache for every run alike
    const double plain = PlainRead(image);
    const ScanTimes scan = TimeScan(image, folder, false);
    const ScanTimes checked = TimeScan(image, folder + "-checked", true);
    plain_mbs.push_back(mb / plain);
    search_mbs.push_back(mb / scan.search);
    whole_mbs.push_back(mb / scan.whole);
    checked_mbs.push_back(mb / checked.whole);
    search_ratio.push_back(plain / scan.search);
    whole_ratio.push_back(plain / scan.whole);
    checked_ratio.push_back(plain / checked.whole);
    whole_over_search.push_back(scan.whole / scan.search);
    checked_over_search.push_back(checked.whole / checked.search);
    figures.recovered = scan.recovered;
    figures.peak_kib = std::max(figures.peak_kib, scan.peak_kib);
    figures.checked_peak_kib = std::max(figures.checked_peak_kib, checked.peak_kib);
  }
  figures.plain_mbs = SpreadOf(plain_mbs);
  figures.search_mbs = SpreadOf(search_mbs);
  figures.whole_mbs = SpreadOf(whole_mbs);
  figures.checked_mbs = SpreadOf(checked_mbs);
  figures.search_ratio = SpreadOf(search_ratio);
  figures.whole_ratio = SpreadOf(whole_ratio);
  figures.checked_ratio = SpreadOf(checked_ratio);
  figures.whole_over_search = SpreadOf(whole_over_search);
  figures.checked_over_search = SpreadOf(checked_over_search);
  return figures;
}

void Report(const char* title, const std::string& image, uint64_t bytes) {
  const Figures f = Measure(image, bytes);
  std::printf("%s (medians of %d runs, range in brackets)\n", title, kRuns);
  std::printf("  (a) plain read      %8.1f MB/s  ratio 1.000\n", f.plain_mbs.median);
  std::printf("  (b) search phase    %8.1f MB/s  ratio %.3f [%.3f-%.3f]\n", f.search_mbs.median,
              f.search_ratio.median, f.search_ratio.low, f.search_ratio.high);
  std::printf(
      "  (c) whole recovery  %8.1f MB/s  ratio %.3f, %.2f x the search [%.2f-%.2f], %d documents\n",
      f.whole_mbs.median, f.whole_ratio.median, f.whole_over_search.median, f.whole_over_search.low,
      f.whole_over_search.high, f.recovered);
  std::printf("  (d) with verdicts   %8.1f MB/s  ratio %.3f, %.2f x its search [%.2f-%.2f]\n",
              f.checked_mbs.median, f.checked_ratio.median, f.checked_over_search.median,
              f.checked_over_search.low, f.checked_over_search.high);
  std::printf("  peak memory of the scan: %.1f MiB (%.1f MiB with verdicts)\n",
              static_cast<double>(f.peak_kib) / 1024,
              static_cast<double>(f.checked_peak_kib) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mebibytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
  const uint64_t spacing_kib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024;
  const std::filesystem::path parent =
      argc > 3 ? std::filesystem::path(argv[3]) : std::filesystem::temp_directory_path();
  const std::string images = argc > 4 ? argv[4] : "ABC";
  const auto folder = parent / "officecarve-bench";
  std::filesystem::create_directories(folder);
  std::printf("images and recovered files in %s (%s)\n", folder.string().c_str(),
              FileSystemOf(folder).c_str());
  if (images.find('A') != std::string::npos || images.find('B') != std::string::npos) {
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
    if (images.find('A') != std::string::npos) {
      Report("A: 512-byte sectors, every sector examined", plain_image, mebibytes << 20);
    }
    if (images.find('B') != std::string::npos) {
      Report("B: FAT32, 4 KiB clusters, known phase", fat_image, mebibytes << 20);
    }
    std::filesystem::remove(plain_image);
    std::filesystem::remove(fat_image);
  }
  if (images.find('C') != std::string::npos) {
    const std::string realistic_image = (folder / "realistic.img").string();
    const uint64_t dense_mebibytes = std::min<uint64_t>(128, std::max<uint64_t>(1, mebibytes / 8));
    const bench::BenchImageFacts realistic =
        bench::WriteRealisticImage(realistic_image, mebibytes, dense_mebibytes);
    std::printf(
        "image C: %llu MiB of %zu documents split around %zu other files, then zeros, random "
        "bytes and text; largest document %.1f MiB\n",
        static_cast<unsigned long long>(dense_mebibytes), realistic.documents_placed,
        realistic.files_placed - realistic.documents_placed,
        static_cast<double>(realistic.largest_document) / (1 << 20));
    Report("C: realistic, 512-byte sectors", realistic_image, mebibytes << 20);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
