// Partition tables written by the real partitioners, and hostile ones built
// by hand: the first must be read as the tools meant them, the second must
// be refused quickly, the disk then being scanned as one region.
#include "source/partition_table.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/temp_dir.h"
#include "source/scan_plan.h"
#include "source/sector_source.h"
#include "support/disk_tools.h"
#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"

namespace officecarve {
namespace {

using testimage::ImageBuilder;

constexpr int64_t kDiskSectors = 16384;  // 8 MiB

uint32_t Crc(const std::vector<uint8_t>& bytes, size_t at, size_t count) {
  return static_cast<uint32_t>(crc32(0, bytes.data() + at, static_cast<uInt>(count)));
}

struct GptLayout {
  uint32_t entry_count = 128;
  uint64_t first = 2048;  // of the one partition
  uint64_t last = 4095;
  bool break_header_crc = false;
};

// A protective MBR, a GPT header in sector 1 and its entries from sector 2,
// with correct checksums unless asked otherwise.
void PutGpt(std::vector<uint8_t>& disk, const GptLayout& layout) {
  const uint64_t sectors = disk.size() / 512;
  testing::PutMbrTable(disk, 0, {{0, 0xEE, 1, sectors - 1}});
  // Only the first 128 entries are written; a larger count is checked
  // against its bound before any of it is read.
  const size_t entries = 1024;
  std::memcpy(disk.data() + entries,
              "\xA2\xA0\xD0\xEB\xE5\xB9\x33\x44\x87\xC0\x68\xB6\xB7\x26\x99\xC7", 16);
  testing::PutLe64(disk, entries + 32, layout.first);
  testing::PutLe64(disk, entries + 40, layout.last);
  const size_t header = 512;
  std::memcpy(disk.data() + header, "EFI PART", 8);
  testing::PutLe32(disk, header + 8, 0x00010000);
  testing::PutLe32(disk, header + 12, 92);
  testing::PutLe64(disk, header + 24, 1);
  testing::PutLe64(disk, header + 32, sectors - 1);
  testing::PutLe64(disk, header + 40, 34);
  testing::PutLe64(disk, header + 48, sectors - 34);
  testing::PutLe64(disk, header + 72, 2);
  testing::PutLe32(disk, header + 80, layout.entry_count);
  testing::PutLe32(disk, header + 84, 128);
  testing::PutLe32(disk, header + 88, Crc(disk, entries, size_t{128} * 128));
  testing::PutLe32(disk, header + 16, Crc(disk, header, 92) + (layout.break_header_crc ? 1 : 0));
}

struct Opened {
  std::unique_ptr<SectorSource> source = std::make_unique<SectorSource>();
  std::shared_ptr<testimage::MemoryHandle::Counters> counters;
};

Opened OpenDisk(std::vector<uint8_t> bytes) {
  Opened opened;
  auto handle = std::make_unique<testimage::MemoryHandle>(std::move(bytes));
  opened.counters = handle->counters();
  EXPECT_TRUE(opened.source->OpenHandle(std::move(handle), SourceType::kImage, "d", "d").ok);
  return opened;
}

TEST(PartitionTable, ReadsPrimaryAndLogicalPartitionsAndProbesEachBootSector) {
  ImageBuilder image(kDiskSectors);
  std::vector<uint8_t>& disk = image.MutableBytes();
  testing::PutMbrTable(disk, 0, {{0x80, 0x0C, 2048, 4096}, {0, 0x05, 8192, 8000}});
  // The chain: a logical partition after each record, links relative to
  // the container's start.
  testing::PutMbrTable(disk, 8192, {{0, 0x83, 1, 999}, {0, 0x05, 2000, 1000}});
  testing::PutMbrTable(disk, 10192, {{0, 0x07, 8, 992}});
  testimage::NtfsBootParams ntfs;
  ntfs.sectors_per_cluster = 8;
  ImageBuilder volume(16);
  volume.WriteNtfsBoot(ntfs);
  image.Place(10200, std::span(volume.Bytes()).first(512));

  const Opened opened = OpenDisk(disk);
  const PartitionTable& table = opened.source->Partitions();
  ASSERT_EQ(table.scheme, PartitionScheme::kMbr);
  ASSERT_EQ(table.partitions.size(), 3u);
  const Partition& first = table.partitions[0];
  EXPECT_EQ(first.number, 1);
  EXPECT_EQ(first.first_sector, 2048);
  EXPECT_EQ(first.sector_count, 4096);
  EXPECT_EQ(first.type, "0x0C");
  EXPECT_EQ(first.type_name, "FAT32");
  EXPECT_FALSE(first.boot.recognised);
  EXPECT_EQ(table.partitions[1].number, 5);
  EXPECT_EQ(table.partitions[1].first_sector, 8193);
  EXPECT_EQ(table.partitions[2].number, 6);
  EXPECT_EQ(table.partitions[2].first_sector, 10200);
  ASSERT_TRUE(table.partitions[2].boot.recognised);
  EXPECT_EQ(table.partitions[2].boot.geometry.kind, FileSystemKind::kNtfs);
  // A partitioned disk is no unknown file system: "deleted" keeps working.
  EXPECT_FALSE(opened.source->BootSectorRecognised());
}

TEST(PartitionTable, RefusesHostileTablesAfterReadingLittle) {
  struct Case {
    std::string what;
    void (*build)(std::vector<uint8_t>&);
  };
  const Case cases[] = {
      {"an entry past the end of the disk",
       [](std::vector<uint8_t>& d) {
         testing::PutMbrTable(d, 0, {{0, 0x07, 2048, kDiskSectors}});
       }},
      {"an entry that starts on the table itself",
       [](std::vector<uint8_t>& d) {
         testing::PutMbrTable(d, 0, {{0, 0x07, 0, 100}});
       }},
      {"overlapping entries",
       [](std::vector<uint8_t>& d) {
         testing::PutMbrTable(d, 0, {{0, 0x07, 2048, 4096}, {0, 0x83, 6000, 100}});
       }},
      {"a logical partition over a primary one",
       [](std::vector<uint8_t>& d) {
         testing::PutMbrTable(d, 0, {{0, 0x07, 2048, 8000}, {0, 0x05, 8192, 4000}});
         testing::PutMbrTable(d, 8192, {{0, 0x83, 1, 3999}});
       }},
      {"an extended chain that loops",
       [](std::vector<uint8_t>& d) {
         testing::PutMbrTable(d, 0, {{0, 0x05, 2048, 8000}});
         testing::PutMbrTable(d, 2048, {{0, 0x83, 1, 100}, {0, 0x05, 200, 300}});
         testing::PutMbrTable(d, 2248, {{0, 0x83, 1, 100}, {0, 0x05, 0, 300}});
       }},
      {"a link that leaves its container",
       [](std::vector<uint8_t>& d) {
         testing::PutMbrTable(d, 0, {{0, 0x05, 2048, 1000}});
         testing::PutMbrTable(d, 2048, {{0, 0x83, 1, 100}, {0, 0x05, 5000, 300}});
       }},
      {"two extended partitions",
       [](std::vector<uint8_t>& d) {
         testing::PutMbrTable(d, 0, {{0, 0x05, 2048, 1000}, {0, 0x0F, 4096, 1000}});
       }},
      {"a boot flag that is boot code",
       [](std::vector<uint8_t>& d) {
         testing::PutMbrTable(d, 0, {{0x33, 0x07, 2048, 100}});
       }},
      {"no partition at all", [](std::vector<uint8_t>& d) { testing::PutMbrTable(d, 0, {}); }},
      {"a GPT with an absurd entry count",
       [](std::vector<uint8_t>& d) { PutGpt(d, {0xFFFFFFF0u}); }},
      {"a GPT whose header checksum fails",
       [](std::vector<uint8_t>& d) {
         PutGpt(d, {128, 2048, 4095, true});
       }},
      {"a GPT entry past the last usable sector",
       [](std::vector<uint8_t>& d) {
         PutGpt(d, {128, 2048, kDiskSectors - 1});
       }},
      {"a GPT entry that ends before it starts",
       [](std::vector<uint8_t>& d) {
         PutGpt(d, {128, 4096, 2048});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImageBuilder image(kDiskSectors);
    c.build(image.MutableBytes());
    const Opened opened = OpenDisk(image.Bytes());
    EXPECT_FALSE(opened.source->Partitions().Recognised());
    EXPECT_LT(opened.counters->bytes_read, 64u * 1024);
    // The disk is then one region whose grid the scan estimates.
    const std::vector<ScanRegion> regions =
        PlanScanRegions(*opened.source, {LossReason::kRepartitioned, false}, {0, kDiskSectors - 1});
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_EQ(regions[0].origin, GridOrigin::kToEstimate);
  }
  // The same GPT with sound fields is read.
  ImageBuilder image(kDiskSectors);
  PutGpt(image.MutableBytes(), {});
  const Opened opened = OpenDisk(image.Bytes());
  ASSERT_EQ(opened.source->Partitions().scheme, PartitionScheme::kGpt);
  EXPECT_EQ(opened.source->Partitions().partitions.at(0).type_name, "basic data");
}

TEST(PartitionTableOfRealDisks, MbrFromSfdiskWithAnExtendedChainAndAFat32Volume) {
  const std::string sfdisk = testing::FindFormatter("sfdisk");
  const std::string mkfs = testing::FindFormatter("mkfs.vfat");
  if (sfdisk.empty() || mkfs.empty()) GTEST_SKIP() << "sfdisk or mkfs.vfat is not installed";
  testing::TempDir dir;
  const std::string disk = dir / "mbr.img";
  ASSERT_TRUE(testing::MakeEmptyImage(disk, kDiskSectors * 512));
  ASSERT_TRUE(testing::RunSfdisk(sfdisk, disk,
                                 "label: dos\n"
                                 "start=2048, size=8192, type=c\n"
                                 "start=10240, type=5\n"
                                 "size=1024, type=83\n"
                                 "size=1024, type=7\n"));
  ASSERT_TRUE(testing::RunFormatter(mkfs, "-F 32 -s 8 --offset 2048 " + disk + " 4096"));

  SectorSource source;
  ASSERT_TRUE(source.OpenImage(disk).ok);
  const PartitionTable& table = source.Partitions();
  ASSERT_EQ(table.scheme, PartitionScheme::kMbr);
  ASSERT_EQ(table.partitions.size(), 3u);
  EXPECT_EQ(table.partitions[0].first_sector, 2048);
  EXPECT_EQ(table.partitions[0].sector_count, 8192);
  ASSERT_TRUE(table.partitions[0].boot.recognised);
  EXPECT_EQ(table.partitions[0].boot.geometry.kind, FileSystemKind::kFat32);
  EXPECT_EQ(table.partitions[0].boot.geometry.sectors_per_cluster, 8u);
  EXPECT_EQ(table.partitions[1].number, 5);
  EXPECT_EQ(table.partitions[1].first_sector, 12288);
  EXPECT_EQ(table.partitions[1].type_name, "Linux");
  EXPECT_EQ(table.partitions[2].number, 6);
  EXPECT_EQ(table.partitions[2].first_sector, 15360);
  EXPECT_EQ(table.partitions[2].sector_count, 1024);
}

TEST(PartitionTableOfRealDisks, GptFromSgdiskWithNamesAndTheBackupHeader) {
  const std::string sgdisk = testing::FindFormatter("sgdisk");
  if (sgdisk.empty()) GTEST_SKIP() << "sgdisk is not installed";
  testing::TempDir dir;
  const std::string disk = dir / "gpt.img";
  ASSERT_TRUE(testing::MakeEmptyImage(disk, kDiskSectors * 512));
  ASSERT_TRUE(testing::RunFormatter(
      sgdisk, "-n 1:2048:+2M -t 1:0700 -c 1:Données -n 2:0:+1M -t 2:8300 -c 2:home " + disk));

  for (const bool damage_primary : {false, true}) {
    SCOPED_TRACE(damage_primary ? "primary header wiped" : "intact");
    if (damage_primary) {
      std::fstream file(disk, std::ios::binary | std::ios::in | std::ios::out);
      file.seekp(512);
      const std::string zeros(512, '\0');
      file.write(zeros.data(), 512);
    }
    SectorSource source;
    ASSERT_TRUE(source.OpenImage(disk).ok);
    const PartitionTable& table = source.Partitions();
    ASSERT_EQ(table.scheme, PartitionScheme::kGpt);
    ASSERT_EQ(table.partitions.size(), 2u);
    EXPECT_EQ(table.partitions[0].first_sector, 2048);
    EXPECT_EQ(table.partitions[0].sector_count, 4096);
    EXPECT_EQ(table.partitions[0].name, "Données");
    EXPECT_EQ(table.partitions[0].type_name, "basic data");
    EXPECT_EQ(table.partitions[1].number, 2);
    EXPECT_EQ(table.partitions[1].first_sector, 6144);
    EXPECT_EQ(table.partitions[1].name, "home");
    EXPECT_EQ(table.partitions[1].type_name, "Linux filesystem");
  }
}

}  // namespace
}  // namespace officecarve
