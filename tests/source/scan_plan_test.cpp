#include "source/scan_plan.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/disk_tools.h"
#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"

namespace officecarve {
namespace {

using testimage::ImageBuilder;

constexpr int64_t kDisk = 8192;

// A disk with an NTFS partition (4 KiB clusters of 512- or 4096-byte
// sectors) at 63 and a partition at 3000 whose boot sector is gone.
std::unique_ptr<SectorSource> OpenPartitionedDisk(uint16_t ntfs_sector_bytes) {
  ImageBuilder disk(kDisk);
  testing::PutMbrTable(disk.MutableBytes(), 0, {{0, 0x07, 63, 2000}, {0, 0x83, 3000, 4000}});
  ImageBuilder volume(16);
  testimage::NtfsBootParams ntfs;
  ntfs.bytes_per_sector = ntfs_sector_bytes;
  ntfs.sectors_per_cluster = static_cast<uint8_t>(4096 / ntfs_sector_bytes);
  volume.WriteNtfsBoot(ntfs);
  disk.Place(63, std::span(volume.Bytes()).first(512));
  auto source = std::make_unique<SectorSource>();
  EXPECT_TRUE(source
                  ->OpenHandle(std::make_unique<testimage::MemoryHandle>(disk.Bytes()),
                               SourceType::kImage, "disk", "disk")
                  .ok);
  return source;
}

struct Expected {
  int64_t first;
  int64_t last;
  int partition;
  GridOrigin origin;
  uint32_t sectors_per_cluster;
  int32_t phase;
};

void ExpectRegions(const std::vector<ScanRegion>& regions, const std::vector<Expected>& expected) {
  ASSERT_EQ(regions.size(), expected.size());
  for (size_t i = 0; i < regions.size(); ++i) {
    SCOPED_TRACE("region " + std::to_string(i));
    EXPECT_EQ(regions[i].first, expected[i].first);
    EXPECT_EQ(regions[i].last, expected[i].last);
    EXPECT_EQ(regions[i].partition, expected[i].partition);
    EXPECT_EQ(regions[i].origin, expected[i].origin);
    EXPECT_EQ(regions[i].sectors_per_cluster, expected[i].sectors_per_cluster);
    EXPECT_EQ(regions[i].cluster_phase, expected[i].phase);
  }
}

constexpr int kOut = kOutsidePartitions;
constexpr GridOrigin kEstimate = GridOrigin::kToEstimate;

TEST(ScanPlan, AWholeDiskIsCutIntoItsPartitionsAndTheSpacesBetween) {
  for (const uint16_t sector_bytes : {512, 4096}) {
    SCOPED_TRACE(sector_bytes);
    const auto source = OpenPartitionedDisk(sector_bytes);
    ASSERT_TRUE(source->Partitions().Recognised());
    // Clusters of 8 source sectors from the partition's start at 63: phase 7.
    ExpectRegions(PlanScanRegions(*source, {LossReason::kDeleted, false}, {0, kDisk - 1}),
                  {{0, 62, kOut, kEstimate, 1, -1},
                   {63, 2062, 1, GridOrigin::kPartitionBootSector, 8, 7},
                   {2063, 2999, kOut, kEstimate, 1, -1},
                   {3000, 6999, 2, kEstimate, 1, -1},
                   {7000, kDisk - 1, kOut, kEstimate, 1, -1}});
  }
}

TEST(ScanPlan, TheUsersChoicesOverrideWhatTheDiskSays) {
  const auto source = OpenPartitionedDisk(512);
  source->MutableWorking().sectors_per_cluster = 16;  // "8K", as ChooseClusterSize leaves it
  // Formatted: the partitions stand, each with the chosen size, phase to settle.
  ExpectRegions(PlanScanRegions(*source, {LossReason::kFormatted, true}, {0, kDisk - 1}),
                {{0, 62, kOut, GridOrigin::kChosen, 16, -1},
                 {63, 2062, 1, GridOrigin::kChosen, 16, -1},
                 {2063, 2999, kOut, GridOrigin::kChosen, 16, -1},
                 {3000, 6999, 2, GridOrigin::kChosen, 16, -1},
                 {7000, kDisk - 1, kOut, GridOrigin::kChosen, 16, -1}});
  // Repartitioned: the table says nothing of where the lost files lay.
  ExpectRegions(PlanScanRegions(*source, {LossReason::kRepartitioned, false}, {0, kDisk - 1}),
                {{0, kDisk - 1, 0, kEstimate, 1, -1}});
  // A narrower range cuts the regions it crosses.
  ExpectRegions(PlanScanRegions(*source, {LossReason::kDeleted, false}, {1000, 3500}),
                {{1000, 2062, 1, GridOrigin::kPartitionBootSector, 8, 7},
                 {2063, 2999, kOut, kEstimate, 1, -1},
                 {3000, 3500, 2, kEstimate, 1, -1}});
}

TEST(ScanPlan, AVolumeKeepsItsBootSectorsGridOrTheChosenOne) {
  ImageBuilder image(4096);
  testimage::FatBootParams fat;  // 4 sectors per cluster, data from 433: phase 1
  image.WriteFat16Boot(fat);
  SectorSource source;
  ASSERT_TRUE(source
                  .OpenHandle(std::make_unique<testimage::MemoryHandle>(image.Bytes()),
                              SourceType::kImage, "v", "v")
                  .ok);
  ExpectRegions(PlanScanRegions(source, {LossReason::kDeleted, false}, {0, 4095}),
                {{0, 4095, 0, GridOrigin::kBootSector, 4, 1}});
  source.MutableWorking().cluster_phase = -1;
  ExpectRegions(PlanScanRegions(source, {LossReason::kFormatted, true}, {0, 4095}),
                {{0, 4095, 0, GridOrigin::kChosen, 4, -1}});
}

}  // namespace
}  // namespace officecarve
