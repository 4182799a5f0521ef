#include "demo/demo_image.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

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

bool IsDocumentSample(const EmbeddedFile& sample) {
  const std::string extension = ExpectedExtension(sample);
  for (const char* document : {".DOC", ".XLS", ".PPT", ".DOCX", ".XLSX", ".PPTX", ".ENC.DOCX",
                               ".ENC.XLSX", ".ODT", ".ODS", ".ODP"}) {
    if (extension == document) return true;
  }
  return false;
}

// A cluster of plain text, as a log or a note leaves on a disk.
std::vector<uint8_t> UnknownText() {
  std::string text;
  for (int line = 0; text.size() < kClusterBytes; ++line) {
    text += "2026-03-0" + std::to_string(line % 9 + 1) + " backup of the shared folder finished, " +
            std::to_string(line * 37 % 1000) + " files copied\n";
  }
  text.resize(kClusterBytes);
  return {text.begin(), text.end()};
}

DemoImage BuildDemoImage(std::span<const EmbeddedFile> samples) {
  std::vector<const EmbeddedFile*> documents;
  std::vector<const EmbeddedFile*> foreign;
  for (const EmbeddedFile& sample : samples) {
    (IsDocumentSample(sample) ? documents : foreign).push_back(&sample);
  }
  // Each gap between two fragments holds the next foreign file, whole, while
  // there are any, and after that a directory cluster and a cluster of text
  // no carver recognises (the document is then put back from its own
  // structure).
  auto gap_clusters = [&](size_t gap_index) {
    return gap_index < foreign.size() ? ClustersFor(foreign[gap_index]->bytes.size()) : 2;
  };
  int64_t clusters = 3;
  size_t gap_index = 0;
  for (size_t i = 0; i < documents.size(); ++i) {
    const int64_t own = ClustersFor(documents[i]->bytes.size());
    clusters += own + 1;
    for (int f = 1; f < FragmentsFor(i, own); ++f) clusters += gap_clusters(gap_index++);
  }
  const int64_t sector_count = ClusterStart(clusters + 2);
  DemoImage demo{
      testimage::ImageBuilder(static_cast<uint64_t>(sector_count), kSectorBytes), {}, {}};
  testimage::ImageBuilder& image = demo.image;
  image.WriteFat32Boot(kBoot);

  // As many of the documents' names as one directory sector holds.
  std::vector<std::string> names;
  for (const EmbeddedFile* document : documents) {
    if (names.size() < kSectorBytes / 32 - 2) names.push_back(ShortName(document->name));
  }
  image.PlaceFatDirectory(ClusterStart(2), names);

  int64_t cluster = 3;
  gap_index = 0;
  for (size_t i = 0; i < documents.size(); ++i) {
    const EmbeddedFile& sample = *documents[i];
    const int64_t own = ClustersFor(sample.bytes.size());
    const int fragments = FragmentsFor(i, own);
    PlacedDocument placed{std::string(sample.name),  sample.bytes,
                          ClusterStart(cluster),     fragments,
                          ExpectedExtension(sample), {}};
    std::vector<std::pair<int64_t, int64_t>> gaps;
    const int64_t piece = own / fragments;
    int64_t next = cluster;
    for (int f = 1; f < fragments; ++f) {
      next += piece;
      const int64_t width = gap_clusters(gap_index);
      gaps.emplace_back(ClusterStart(next), ClusterStart(next + width) - 1);
      if (gap_index < foreign.size()) {
        image.Place(ClusterStart(next), foreign[gap_index]->bytes);
        placed.between.emplace_back(foreign[gap_index]->name);
        demo.foreign_files.emplace_back(foreign[gap_index]->name);
      } else {
        image.PlaceFatDirectory(ClusterStart(next), names);
        image.Place(ClusterStart(next + 1), UnknownText());
        placed.between.emplace_back("a directory and text");
      }
      ++gap_index;
      next += width;
    }
    image.PlaceFragmented(placed.start_sector, sample.bytes, gaps);
    cluster = next + (own - piece * (fragments - 1));
    image.FillNoise(ClusterStart(cluster), ClusterStart(cluster + 1) - 1,
                    static_cast<uint32_t>(i + 1));
    cluster += 1;
    demo.documents.push_back(std::move(placed));
  }
  return demo;
}

}  // namespace officecarve::demo
