#include "demo/demo_image.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace officecarve::demo {
namespace {

constexpr uint32_t kSectorBytes = 512;
constexpr uint32_t kSectorsPerCluster = 8;
constexpr uint32_t kClusterBytes = kSectorBytes * kSectorsPerCluster;
constexpr uint16_t kReservedSectors = 38;  // puts the cluster grid off sector multiples of 8
constexpr uint32_t kFatSectors = 8;

const testimage::FatBootParams kBoot = {
    kSectorBytes, kSectorsPerCluster, kReservedSectors, 2, kFatSectors, 0, 0, "DEMO"};

int64_t ClusterStart(int64_t cluster) {
  static const int64_t first_data =
      static_cast<int64_t>(testimage::ImageBuilder::FatFirstDataSector(kBoot));
  return first_data + (cluster - 2) * kSectorsPerCluster;
}

int64_t ClustersFor(size_t bytes) {
  return static_cast<int64_t>((bytes + kClusterBytes - 1) / kClusterBytes);
}

// Most documents are split: one piece, two or three, in turn.
int FragmentsFor(size_t index, int64_t clusters) {
  const int wanted = index % 4 == 0 ? 1 : 2 + static_cast<int>(index % 2);
  return static_cast<int>(std::min<int64_t>(wanted, clusters));
}

std::string ShortName(std::string_view name) {
  std::string base(name.substr(0, name.find('.')));
  std::string extension(name.substr(name.find('.') + 1));
  base.resize(8, ' ');
  extension.resize(3, ' ');
  std::string short_name = base + extension;
  for (char& c : short_name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return short_name;
}

}  // namespace

std::string ExpectedExtension(const EmbeddedFile& sample) {
  std::string extension(sample.name.substr(sample.name.rfind('.')));
  for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static constexpr unsigned char kCompoundSignature[] = {0xD0, 0xCF, 0x11, 0xE0};
  const bool compound =
      sample.bytes.size() >= 4 && std::memcmp(sample.bytes.data(), kCompoundSignature, 4) == 0;
  if (compound && (extension == ".DOCX" || extension == ".XLSX" || extension == ".PPTX")) {
    return ".ENC" + extension;
  }
  return extension;
}

DemoImage BuildDemoImage(std::span<const EmbeddedFile> samples) {
  // Documents, the directory clusters between fragments, a noise cluster after each.
  int64_t clusters = 3;
  for (size_t i = 0; i < samples.size(); ++i) {
    const int64_t own = ClustersFor(samples[i].bytes.size());
    clusters += own + FragmentsFor(i, own) + 1;
  }
  const int64_t sector_count = ClusterStart(clusters + 2);
  DemoImage demo{testimage::ImageBuilder(static_cast<uint64_t>(sector_count), kSectorBytes), {}};
  testimage::ImageBuilder& image = demo.image;
  image.WriteFat32Boot(kBoot);

  std::vector<std::string> names;
  for (const EmbeddedFile& sample : samples) names.push_back(ShortName(sample.name));
  image.PlaceFatDirectory(ClusterStart(2), names);

  int64_t cluster = 3;
  for (size_t i = 0; i < samples.size(); ++i) {
    const EmbeddedFile& sample = samples[i];
    const int64_t own = ClustersFor(sample.bytes.size());
    const int fragments = FragmentsFor(i, own);
    PlacedDocument placed{std::string(sample.name), sample.bytes, ClusterStart(cluster), fragments,
                          ExpectedExtension(sample)};
    // A directory cluster after each fragment but the last.
    std::vector<std::pair<int64_t, int64_t>> gaps;
    const int64_t piece = own / fragments;
    int64_t next = cluster;
    for (int f = 1; f < fragments; ++f) {
      next += piece;
      const int64_t gap_cluster = next + (f - 1);
      gaps.emplace_back(ClusterStart(gap_cluster), ClusterStart(gap_cluster + 1) - 1);
      image.PlaceFatDirectory(ClusterStart(gap_cluster), names);
    }
    image.PlaceFragmented(placed.start_sector, sample.bytes, gaps);
    cluster += own + (fragments - 1);
    image.FillNoise(ClusterStart(cluster), ClusterStart(cluster + 1) - 1,
                    static_cast<uint32_t>(i + 1));
    cluster += 1;
    demo.documents.push_back(std::move(placed));
  }
  return demo;
}

}  // namespace officecarve::demo
