// Raw images of real documents split around real pictures, archives and
// sound on a cluster grid, with no boot sector: a scan with no options must
// find the grid itself and recover what a scan told the cluster size does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "carvers/dispatch.h"
#include "platform/temp_dir.h"
#include "scan/scan_driver.h"
#include "source/cluster_size.h"
#include "source/geometry_choices.h"
#include "testimage/fragmented_layout.h"
#include "testimage/memory_handle.h"
#include "testimage/null_frontend.h"

namespace officecarve {
namespace {

using testimage::SampleFile;

const std::vector<SampleFile>& Documents() {
  static const std::vector<std::string> kNames = {
      "letter.doc",    "minutes.docx",   "budget.xls",         "schedule.xlsx",  "overview.ppt",
      "briefing.pptx", "newsletter.doc", "handbook.docx",      "inventory.xls",  "ledger.xlsx",
      "lecture.ppt",   "workshop.pptx",  "protected.docx",     "protected.xlsx", "memo.odt",
      "figures.ods",   "workshop.odp",   "stock-openpyxl.xlsx"};
  static const std::vector<SampleFile> kSamples =
      testimage::ReadSamples(OFFICECARVE_TEST_DATA, kNames);
  return kSamples;
}

const std::vector<SampleFile>& Foreign() {
  static const std::vector<std::string> kNames = {
      "camera.jpg", "plain.png", "leaflet.pdf", "bundle.zip", "photo.bmp", "tone.wav", "scan.jpg"};
  static const std::vector<SampleFile> kSamples =
      testimage::ReadSamples(OFFICECARVE_TEST_DATA, kNames);
  return kSamples;
}

struct RawImage {
  std::shared_ptr<const std::vector<uint8_t>> bytes;
  // What the laid documents point at.
  std::shared_ptr<std::vector<SampleFile>> samples;
  std::vector<testimage::LaidDocument> documents;
};

// The documents laid twice over (so the grid has the headers a used disk
// has), from `first_cluster` on, with random filler before it.
RawImage BuildRawImage(uint32_t sectors_per_cluster, int64_t first_cluster) {
  auto samples = std::make_shared<std::vector<SampleFile>>(Documents());
  samples->insert(samples->end(), Documents().begin(), Documents().end());
  const std::vector<SampleFile>& documents = *samples;
  // Room for every document with two foreign files of the largest size in
  // its gaps and its filler cluster; what is left over stays zero.
  const int64_t cluster_bytes = int64_t{sectors_per_cluster} * 512;
  auto clusters = [&](size_t bytes) {
    return (static_cast<int64_t>(bytes) + cluster_bytes - 1) / cluster_bytes;
  };
  int64_t largest_foreign = 0;
  for (const SampleFile& file : Foreign())
    largest_foreign = std::max(largest_foreign, clusters(file.bytes.size()));
  int64_t needed = 0;
  for (const SampleFile& file : documents)
    needed += clusters(file.bytes.size()) + 1 + 2 * largest_foreign;
  const int64_t sector_count = first_cluster + needed * sectors_per_cluster;
  testimage::ImageBuilder image(static_cast<uint64_t>(sector_count));
  if (first_cluster > 0) image.Place(0, testimage::PseudoRandomBytes(first_cluster * 512, 99));
  testimage::FragmentedLayout layout;
  layout.first_cluster_sector = first_cluster;
  layout.last_sector = sector_count - 1;
  layout.sectors_per_cluster = sectors_per_cluster;
  RawImage raw;
  raw.samples = samples;
  raw.documents = testimage::LayFragmented(image, layout, documents, Foreign());
  raw.bytes = image.Share();
  return raw;
}

struct Recovery {
  ScanReport report;
  std::map<std::string, std::string> files;  // name -> bytes
  int intact = 0;
  int intact_fragmented = 0;
  int fragmented = 0;
};

// Opens the image as the command line does and recovers with no options,
// or with --reason repartitioned --cluster <cluster_item>.
Recovery Recover(const RawImage& raw, int cluster_item) {
  testing::TempDir folder;
  SectorSource source;
  ScanState state;
  testimage::NullFrontend frontend;
  const UiTextTable texts(TextVariant::English);
  EXPECT_TRUE(source
                  .OpenHandle(std::make_unique<testimage::MemoryHandle>(raw.bytes),
                              SourceType::kImage, "raw.img", "raw.img")
                  .ok);
  GeometryControls controls = PresentOpenedSource(source, texts);
  if (cluster_item >= 0) {
    ChooseLossReason(source, controls, LossReason::kRepartitioned, frontend, texts);
    ChooseClusterSize(source, controls, cluster_item);
  }
  ScanRequest request;
  request.folder = folder.Path().string();
  request.first_text = controls.first_text;
  request.last_text = controls.last_text;
  request.cluster_item = controls.cluster_item;
  request.grid = GridChoiceOf(controls);
  request.check_verdicts = false;
  ScanDriver driver(source, frontend, state, texts, &DispatchFor);
  Recovery recovery;
  recovery.report = driver.Start(request);
  std::map<int64_t, std::string> by_sector;
  for (const RecoveredFile& file : recovery.report.files) {
    const std::string bytes = testing::ReadFile(file.path);
    recovery.files[file.name] = bytes;
    by_sector[file.start_sector] = bytes;
  }
  for (const testimage::LaidDocument& document : raw.documents) {
    const std::string expected(document.sample->bytes.begin(), document.sample->bytes.end());
    const auto found = by_sector.find(document.start_sector);
    const bool intact = found != by_sector.end() && found->second == expected;
    recovery.intact += intact;
    if (document.fragments > 1) {
      ++recovery.fragmented;
      recovery.intact_fragmented += intact;
    }
  }
  return recovery;
}

TEST(EstimatedGridScan, RecoversWithNoOptionsWhatTheRightClusterSizeRecovers) {
  struct Case {
    int cluster_item;  // "2K" = 2, "4K" = 3, ...
    int64_t first_cluster;
  };
  for (const Case c : {Case{3, 0}, Case{2, 0}, Case{4, 0}, Case{6, 0}, Case{3, 63}}) {
    const uint32_t sectors_per_cluster = SectorsPerClusterForItem(c.cluster_item, 512);
    SCOPED_TRACE(std::to_string(sectors_per_cluster) + " sectors per cluster from sector " +
                 std::to_string(c.first_cluster));
    const RawImage raw = BuildRawImage(sectors_per_cluster, c.first_cluster);
    ASSERT_GE(raw.documents.size(), 30u);

    const Recovery estimated = Recover(raw, -1);
    const Recovery told = Recover(raw, c.cluster_item);
    const Recovery single_units = Recover(raw, 0);  // "0.5K": what a scan did before
    ASSERT_EQ(estimated.report.regions.size(), 1u);
    const ScanRegion& region = estimated.report.regions[0];
    EXPECT_EQ(region.origin, GridOrigin::kEstimated);
    EXPECT_EQ(region.sectors_per_cluster, sectors_per_cluster);
    EXPECT_EQ(region.cluster_phase, c.first_cluster % sectors_per_cluster);
    EXPECT_EQ(told.report.regions[0].origin, GridOrigin::kChosen);
    EXPECT_EQ(told.report.regions[0].cluster_phase, region.cluster_phase);

    EXPECT_EQ(estimated.files, told.files);
    EXPECT_EQ(estimated.intact_fragmented, estimated.fragmented);
    std::cout << "  " << sectors_per_cluster * 512 / 1024 << " KiB clusters from sector "
              << c.first_cluster << ": " << estimated.intact << " of " << raw.documents.size()
              << " documents intact with no options (" << estimated.intact_fragmented << " of "
              << estimated.fragmented << " fragmented), " << told.intact
              << " when told the cluster size, " << single_units.intact_fragmented
              << " fragmented ones on single units; grid from " << region.headers << " headers\n";
  }
}

TEST(EstimatedGridScan, NoiseWithAHandfulOfHeadersKeepsSingleUnits) {
  testimage::ImageBuilder image(4096);
  image.FillNoise(0, 4095, 5);
  // Three documents on a 4 KiB grid: too few to believe in it.
  for (const int64_t sector : {800, 1600, 2400}) image.Place(sector, Documents()[0].bytes);
  RawImage raw;
  raw.bytes = image.Share();
  const Recovery recovery = Recover(raw, -1);
  ASSERT_EQ(recovery.report.regions.size(), 1u);
  EXPECT_EQ(recovery.report.regions[0].origin, GridOrigin::kNoGrid);
  EXPECT_EQ(recovery.report.regions[0].sectors_per_cluster, 1u);
  EXPECT_EQ(recovery.report.regions[0].headers, 3u);
  EXPECT_EQ(recovery.report.recovered_count, 3);
}

}  // namespace
}  // namespace officecarve
