// Split-documents benchmark: an image dense with ZIP-based documents, each
// cut at 4 KiB boundaries into 2 to 4 fragments with 1 to 12 clusters of
// data no carver recognises between them (text, markup, random bytes,
// zeros), which the recovery puts back together from the documents' own
// structure. Prints the plain read and the whole recovery (without
// verdicts) as throughput and ratio, the documents that came back byte for
// byte, and the scan's peak memory.
// Usage: officecarve_bench_split [MiB] [folder] (defaults 32, /dev/shm where
// it exists or else the temporary folder).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_run.h"
#include "demo/embedded_samples.h"

namespace {

using namespace officecarve;
using namespace officecarve::bench;

constexpr uint64_t kCluster = 4096;

bool IsZipDocument(std::string_view name) {
  for (const std::string_view extension : {".docx", ".xlsx", ".pptx", ".odt", ".ods", ".odp"}) {
    if (name.size() > extension.size() &&
        name.substr(name.size() - extension.size()) == extension) {
      return name.find("protected") == std::string_view::npos;
    }
  }
  return false;
}

std::vector<uint8_t> Filler(uint64_t bytes, std::mt19937& rng) {
  std::vector<uint8_t> out;
  out.reserve(bytes);
  switch (rng() % 4) {
    case 0:
      while (out.size() < bytes) {
        for (const char c : std::string("the committee agreed on the figures ")) out.push_back(c);
      }
      break;
    case 1:
      while (out.size() < bytes) {
        const std::string line = "<td class=\"n\">" + std::to_string(rng() % 9999) + "</td>\n";
        out.insert(out.end(), line.begin(), line.end());
      }
      break;
    case 2:
      while (out.size() < bytes) out.push_back(static_cast<uint8_t>(rng()));
      break;
    default:
      out.resize(bytes);
      break;
  }
  out.resize(bytes);
  return out;
}

struct DenseImage {
  std::vector<uint8_t> bytes;
  std::multiset<std::vector<uint8_t>> documents;
};

DenseImage BuildImage(uint64_t bytes) {
  std::vector<std::vector<uint8_t>> samples;
  for (const demo::EmbeddedFile& sample : demo::EmbeddedSamples()) {
    if (IsZipDocument(sample.name)) samples.emplace_back(sample.bytes.begin(), sample.bytes.end());
  }
  if (samples.empty()) throw std::runtime_error("no ZIP-based samples");
  std::mt19937 rng(19);
  DenseImage image;
  image.bytes = Filler(kCluster, rng);
  for (size_t next = 0; image.bytes.size() < bytes; ++next) {
    const std::vector<uint8_t>& document = samples[next % samples.size()];
    const uint64_t clusters = (document.size() + kCluster - 1) / kCluster;
    const uint64_t fragments = std::min<uint64_t>(2 + rng() % 3, clusters);
    std::set<uint64_t> cuts;
    while (cuts.size() + 1 < fragments) cuts.insert((1 + rng() % (clusters - 1)) * kCluster);
    cuts.insert(document.size());
    uint64_t from = 0;
    for (const uint64_t to : cuts) {
      image.bytes.insert(image.bytes.end(), document.begin() + static_cast<std::ptrdiff_t>(from),
                         document.begin() + static_cast<std::ptrdiff_t>(to));
      image.bytes.resize((image.bytes.size() + kCluster - 1) / kCluster * kCluster);
      const auto gap = Filler((1 + rng() % 12) * kCluster, rng);
      image.bytes.insert(image.bytes.end(), gap.begin(), gap.end());
      from = to;
    }
    image.documents.insert(document);
  }
  return image;
}

std::filesystem::path DefaultFolder() {
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error)) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

int CountWhole(const std::filesystem::path& output, std::multiset<std::vector<uint8_t>> expected) {
  int whole = 0;
  for (const auto& entry : std::filesystem::directory_iterator(output)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    const auto found = expected.find(bytes);
    if (found == expected.end()) continue;
    expected.erase(found);
    ++whole;
  }
  return whole;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mebibytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 32;
  const std::filesystem::path parent = argc > 2 ? std::filesystem::path(argv[2]) : DefaultFolder();
  const auto folder = parent / "officecarve-bench-split";
  std::filesystem::create_directories(folder);
  DenseImage dense = BuildImage(mebibytes << 20);
  const std::string image = (folder / "split.img").string();
  const std::string output = (folder / "out").string();
  {
    std::ofstream out(image, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(dense.bytes.data()),
              static_cast<std::streamsize>(dense.bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + image);
  }
  // The scan's child process would count the image's pages as its own.
  const double mb = static_cast<double>(dense.bytes.size()) / 1e6;
  std::vector<uint8_t>().swap(dense.bytes);
  std::filesystem::create_directories(output);
  PlainRead(image);  // warm the page cache
  double plain = PlainRead(image);
  for (int run = 0; run < 2; ++run) plain = std::min(plain, PlainRead(image));
  const ScanTimes scan = TimeScan(image, output, false, 0, true);
  std::printf("%.1f MB, %zu documents in 2-4 fragments around unknown data, recovered into %s\n",
              mb, dense.documents.size(), FileSystemOf(folder).c_str());
  std::printf("%10s %10s %8s %12s %9s\n", "read MB/s", "scan MB/s", "ratio", "whole", "peak MiB");
  std::printf("%10.1f %10.1f %8.3f %5d of %4zu %9.1f\n", mb / plain, mb / scan.whole,
              plain / scan.whole, CountWhole(output, dense.documents), dense.documents.size(),
              static_cast<double>(scan.peak_kib) / 1024);
  std::filesystem::remove_all(folder);
  return scan.ran ? 0 : 1;
}
