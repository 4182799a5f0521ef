// Whole disks partitioned by the real partitioners, with a FAT32 and an NTFS
// volume made by the real formatters and documents fragmented in each: a
// scan of the whole disk must bring back every document that a scan of the
// partition alone brings back, named by its sector on the disk.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "carvers/dispatch.h"
#include "platform/temp_dir.h"
#include "scan/scan_driver.h"
#include "source/geometry_choices.h"
#include "support/disk_tools.h"
#include "testimage/fragmented_layout.h"
#include "testimage/memory_handle.h"
#include "testimage/null_frontend.h"

namespace officecarve {
namespace {

using testimage::SampleFile;

constexpr int64_t kPartitionSectors = 8192;  // 4 MiB
constexpr int64_t kFirstPartition = 2048;
constexpr int64_t kSecondPartition = kFirstPartition + kPartitionSectors + 2048;
constexpr int64_t kDiskSectors = kSecondPartition + kPartitionSectors + 2048;

const std::vector<SampleFile>& Documents() {
  static const std::vector<std::string> kNames = {
      "letter.doc",    "minutes.docx", "budget.xls", "schedule.xlsx", "briefing.pptx",
      "handbook.docx", "ledger.xlsx",  "memo.odt",   "workshop.pptx", "newsletter.doc"};
  static const std::vector<SampleFile> kSamples =
      testimage::ReadSamples(OFFICECARVE_TEST_DATA, kNames);
  return kSamples;
}

const std::vector<SampleFile>& Foreign() {
  static const std::vector<std::string> kNames = {"plain.png", "camera.jpg", "leaflet.pdf",
                                                  "photo.bmp", "bundle.zip", "tone.wav"};
  static const std::vector<SampleFile> kSamples =
      testimage::ReadSamples(OFFICECARVE_TEST_DATA, kNames);
  return kSamples;
}

uint32_t Le(const std::vector<uint8_t>& bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
  return value;
}

// Lays documents fragmented around foreign files in the longest run of
// unused (zero) clusters of a freshly formatted partition. first_cluster is
// the disk sector of one of its clusters; 4 KiB clusters.
void LayIntoFreeClusters(testimage::ImageBuilder& disk, int64_t partition_first,
                         int64_t first_cluster) {
  constexpr int64_t kPerCluster = 8;
  const std::vector<uint8_t>& bytes = disk.Bytes();
  auto zero = [&](int64_t sector) {
    for (int64_t byte = sector * 512; byte < (sector + kPerCluster) * 512; ++byte) {
      if (bytes[static_cast<size_t>(byte)] != 0) return false;
    }
    return true;
  };
  int64_t best_start = 0;
  int64_t best_length = 0;
  const int64_t partition_end = partition_first + kPartitionSectors;
  for (int64_t sector = first_cluster; sector + kPerCluster <= partition_end;) {
    int64_t run = sector;
    while (run + kPerCluster <= partition_end && zero(run)) run += kPerCluster;
    if (run - sector > best_length) {
      best_start = sector;
      best_length = run - sector;
    }
    sector = run == sector ? sector + kPerCluster : run;
  }
  testimage::FragmentedLayout layout;
  // A cluster of margin on each side: the formatter's own structures may
  // end in zeros that it still means.
  layout.first_cluster_sector = best_start + kPerCluster;
  layout.last_sector = best_start + best_length - kPerCluster - 1;
  layout.sectors_per_cluster = kPerCluster;
  const auto laid = testimage::LayFragmented(disk, layout, Documents(), Foreign());
  ASSERT_GE(laid.size(), 4u);
}

// start sector on the source -> bytes of each file a scan wrote.
std::map<int64_t, std::string> Recover(std::shared_ptr<const std::vector<uint8_t>> bytes,
                                       ScanReport* report_out = nullptr) {
  testing::TempDir folder;
  SectorSource source;
  ScanState state;
  testimage::NullFrontend frontend;
  const UiTextTable texts(TextVariant::English);
  EXPECT_TRUE(source
                  .OpenHandle(std::make_unique<testimage::MemoryHandle>(std::move(bytes)),
                              SourceType::kImage, "disk.img", "disk.img")
                  .ok);
  const GeometryControls controls = PresentOpenedSource(source, texts);
  ScanRequest request;
  request.folder = folder.Path().string();
  request.first_text = controls.first_text;
  request.last_text = controls.last_text;
  request.cluster_item = controls.cluster_item;
  request.grid = GridChoiceOf(controls);
  request.check_verdicts = false;
  ScanDriver driver(source, frontend, state, texts, &DispatchFor);
  const ScanReport report = driver.Start(request);
  std::map<int64_t, std::string> files;
  for (const RecoveredFile& file : report.files) {
    files[file.start_sector] = testing::ReadFile(file.path);
  }
  if (report_out != nullptr) *report_out = report;
  return files;
}

std::shared_ptr<const std::vector<uint8_t>> Slice(const std::vector<uint8_t>& disk, int64_t first) {
  return std::make_shared<const std::vector<uint8_t>>(
      disk.begin() + first * 512, disk.begin() + (first + kPartitionSectors) * 512);
}

class WholeDiskScan : public ::testing::Test {
 protected:
  void SetUp() override {
    mkfs_ = testing::FindFormatter("mkfs.vfat");
    mkntfs_ = testing::FindFormatter("mkntfs");
    if (mkfs_.empty() || mkntfs_.empty()) GTEST_SKIP() << "mkfs.vfat or mkntfs is not installed";
  }

  // Formats the two partitions of a partitioned disk file, lays documents
  // into each, and compares the whole disk's scan with the partitions'.
  void FormatFillAndCompare() {
    ASSERT_TRUE(testing::RunFormatter(mkfs_, "-F 32 -s 8 --offset " +
                                                 std::to_string(kFirstPartition) + " " + disk_ +
                                                 " " + std::to_string(kPartitionSectors / 2)));
    const std::string ntfs = dir_ / "ntfs.img";
    ASSERT_TRUE(testing::MakeEmptyImage(ntfs, kPartitionSectors * 512));
    ASSERT_TRUE(testing::RunFormatter(mkntfs_, "-F -Q -c 4096 " + ntfs));
    ASSERT_TRUE(testing::CopyInto(disk_, kSecondPartition * 512, ntfs));

    const std::vector<uint8_t> file = testimage::ReadFileBytes(disk_);
    testimage::ImageBuilder disk(file.size() / 512);
    disk.MutableBytes() = file;
    const std::vector<uint8_t> fat_boot(file.begin() + kFirstPartition * 512,
                                        file.begin() + kFirstPartition * 512 + 512);
    const int64_t fat_first_data =
        Le(fat_boot, 0x0E, 2) + int64_t{fat_boot[0x10]} * Le(fat_boot, 0x24, 4);
    LayIntoFreeClusters(disk, kFirstPartition, kFirstPartition + fat_first_data);
    LayIntoFreeClusters(disk, kSecondPartition, kSecondPartition);

    ScanReport report;
    const std::map<int64_t, std::string> whole = Recover(disk.Share(), &report);
    int compared = 0;
    for (const int64_t partition : {kFirstPartition, kSecondPartition}) {
      SCOPED_TRACE("partition at " + std::to_string(partition));
      const std::map<int64_t, std::string> alone = Recover(Slice(disk.Bytes(), partition));
      EXPECT_GE(alone.size(), 4u);
      for (const auto& [sector, bytes] : alone) {
        const auto found = whole.find(partition + sector);
        ASSERT_NE(found, whole.end()) << "sector " << sector << " of the partition";
        EXPECT_TRUE(found->second == bytes) << "sector " << sector << " of the partition";
        ++compared;
      }
    }
    EXPECT_GE(compared, 8);
    // Each partition was scanned with its own boot sector's grid.
    int partitions_seen = 0;
    for (const ScanRegion& region : report.regions) {
      if (region.partition <= 0) continue;
      ++partitions_seen;
      EXPECT_EQ(region.origin, GridOrigin::kPartitionBootSector);
      EXPECT_EQ(region.sectors_per_cluster, 8u);
    }
    EXPECT_EQ(partitions_seen, 2);
  }

  std::string mkfs_;
  std::string mkntfs_;
  testing::TempDir dir_;
  std::string disk_ = dir_ / "disk.img";
};

TEST_F(WholeDiskScan, MbrFromSfdiskGivesBackEveryDocumentOfEachPartition) {
  const std::string sfdisk = testing::FindFormatter("sfdisk");
  if (sfdisk.empty()) GTEST_SKIP() << "sfdisk is not installed";
  ASSERT_TRUE(testing::MakeEmptyImage(disk_, kDiskSectors * 512));
  ASSERT_TRUE(testing::RunSfdisk(sfdisk, disk_,
                                 "label: dos\nstart=" + std::to_string(kFirstPartition) +
                                     ", size=" + std::to_string(kPartitionSectors) +
                                     ", type=c\nstart=" + std::to_string(kSecondPartition) +
                                     ", size=" + std::to_string(kPartitionSectors) + ", type=7\n"));
  FormatFillAndCompare();
}

TEST_F(WholeDiskScan, GptFromSgdiskGivesBackEveryDocumentOfEachPartition) {
  const std::string sgdisk = testing::FindFormatter("sgdisk");
  if (sgdisk.empty()) GTEST_SKIP() << "sgdisk is not installed";
  ASSERT_TRUE(testing::MakeEmptyImage(disk_, kDiskSectors * 512));
  auto range = [](int number, int64_t first) {
    return " -n " + std::to_string(number) + ":" + std::to_string(first) + ":" +
           std::to_string(first + kPartitionSectors - 1) + " -t " + std::to_string(number) +
           ":0700";
  };
  ASSERT_TRUE(testing::RunFormatter(
      sgdisk, range(1, kFirstPartition) + range(2, kSecondPartition) + " " + disk_));
  FormatFillAndCompare();
}

}  // namespace
}  // namespace officecarve
