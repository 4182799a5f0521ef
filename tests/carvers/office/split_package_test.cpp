// Documents split into fragments around data no carver recognises, through
// the whole scan: on a raw image of 512-byte units, and on a FAT32 volume
// of 4 KiB clusters whose boot sector gives the grid.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"
#include "carvers/office/unknown_data.h"
#include "scan/start_sector_code.h"

namespace officecarve {
namespace {

using testing::RecoveredExtension;
using testing::SampleDocument;
using testing::UnitsFor;
using testing::UnknownData;
using testing::UnknownKind;

constexpr int64_t kClusterUnits = 8;

testimage::FatBootParams Fat32Boot() {
  testimage::FatBootParams boot;
  boot.sectors_per_cluster = kClusterUnits;
  boot.reserved_sectors = 35;  // clusters start off the image's 4 KiB grid
  boot.fat_size = 64;
  boot.root_entries = 0;
  return boot;
}

struct Layout {
  testimage::ImageBuilder image{1};
  int64_t start = 0;
  std::vector<ByteRun> runs;
};

// The document's clusters in three fragments, the first two of
// `first_clusters` and one cluster, each followed by `gap_clusters` of
// unknown data; noise before and after.
Layout SplitDocument(const std::vector<uint8_t>& document, int64_t data_start,
                     int64_t first_clusters, int64_t gap_clusters, UnknownKind kind, bool fat32) {
  constexpr int64_t kUnit = 512;
  const int64_t document_units = UnitsFor(document.size(), kUnit);
  const int64_t sectors = data_start + document_units + 4 * kClusterUnits * (gap_clusters + 2);
  Layout layout{testimage::ImageBuilder(static_cast<uint64_t>(sectors)), 0, {}};
  layout.image.FillNoise(1, sectors - 1, 3);
  if (fat32) layout.image.WriteFat32Boot(Fat32Boot());
  std::mt19937 rng(static_cast<uint32_t>(document.size()));
  layout.start = data_start + 2 * kClusterUnits;
  int64_t sector = layout.start;
  uint64_t from = 0;
  for (const int64_t clusters : {first_clusters, int64_t{1}, int64_t{-1}}) {
    const uint64_t length = clusters < 0 ? document.size() - from
                                         : static_cast<uint64_t>(clusters * kClusterUnits * kUnit);
    layout.image.Place(sector, std::span(document).subspan(from, length));
    layout.runs.push_back({from, sector * kUnit, length});
    sector += UnitsFor(length, kUnit);
    from += length;
    if (clusters < 0) break;
    const auto gap = UnknownData(kind, gap_clusters * kClusterUnits * kUnit, rng);
    layout.image.Place(sector, gap);
    sector += gap_clusters * kClusterUnits;
  }
  return layout;
}

class SplitPackages : public testing::OfficeCarverHarness {};

// Back byte for byte and intact, with the three fragments in the report at
// the places they lie.
TEST_F(SplitPackages, ComeBackWholeFromTheirFragments) {
  struct Case {
    const char* document;
    UnknownKind kind;
    int64_t first_clusters;
    int64_t gap_clusters;
  };
  const Case cases[] = {
      {"minutes.docx", UnknownKind::kText, 1, 3},
      {"long-ledger.xlsx", UnknownKind::kRandom, 2, 12},
      {"memo.odt", UnknownKind::kZeros, 1, 1},
      {"workshop.pptx", UnknownKind::kHtml, 3, 5},
  };
  for (const bool fat32 : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.document) + (fat32 ? " on FAT32" : " on a raw image"));
      const std::vector<uint8_t> document = SampleDocument(c.document);
      const int64_t data_start =
          fat32 ? static_cast<int64_t>(testimage::ImageBuilder::FatFirstDataSector(Fat32Boot()))
                : 5;
      const Layout layout =
          SplitDocument(document, data_start, c.first_clusters, c.gap_clusters, c.kind, fat32);
      ClearFolder();
      Open(layout.image);
      const ScanReport report = ScanAll();
      const std::string name =
          RecoveredFileName(layout.start * 512, RecoveredExtension(c.document));
      ExpectOnlyRecovered(report, name, document);
      ASSERT_EQ(report.files.size(), 1u);
      EXPECT_EQ(report.files[0].verdict.state, VerdictState::kIntact)
          << report.files[0].verdict.problem;
      // The runs come from the claims: the gap units are not among them.
      EXPECT_EQ(report.files[0].byte_runs, layout.runs);
    }
  }
}

}  // namespace
}  // namespace officecarve
