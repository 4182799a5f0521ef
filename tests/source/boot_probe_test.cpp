#include "source/boot_probe.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"

namespace officecarve {
namespace {

using testimage::ExFatBootParams;
using testimage::FatBootParams;
using testimage::ImageBuilder;
using testimage::MemoryHandle;
using testimage::NtfsBootParams;

constexpr uint64_t kImageSectors = 4096;

ProbeResult ProbeImage(const ImageBuilder& builder) {
  MemoryHandle handle(builder.Bytes());
  return ProbeBootSector(handle);
}

ProbeResult ProbeFat16(const FatBootParams& params) {
  ImageBuilder builder(kImageSectors);
  builder.WriteFat16Boot(params);
  return ProbeImage(builder);
}

ProbeResult ProbeExFat(const ExFatBootParams& params) {
  ImageBuilder builder(kImageSectors);
  builder.WriteExFatBoot(params);
  return ProbeImage(builder);
}

void ExpectGeometry(const ProbeResult& result, FileSystemKind kind, uint32_t bytes_per_sector,
                    uint32_t sectors_per_cluster, int32_t phase) {
  ASSERT_TRUE(result.recognised);
  EXPECT_EQ(result.geometry.kind, kind);
  EXPECT_EQ(result.geometry.bytes_per_sector, bytes_per_sector);
  EXPECT_EQ(result.geometry.sectors_per_cluster, sectors_per_cluster);
  EXPECT_EQ(result.geometry.cluster_phase, phase);
  // The opener computes the last sector from the source's length.
  EXPECT_EQ(result.geometry.last_sector, -1);
}

TEST(ProbeBootSectorOnFat, PlacesClusterStartsAfterReservedFatAndRootSectors) {
  // 1 reserved + 2 x 200 FAT + 512 x 32 / 512 root = 433; 433 mod 4 = 1.
  ExpectGeometry(ProbeFat16({}), FileSystemKind::kFat, 512, 4, 1);

  ImageBuilder fat12(kImageSectors);
  fat12.WriteFat12Boot({.sectors_per_cluster = 8});
  ExpectGeometry(ProbeImage(fat12), FileSystemKind::kFat, 512, 8, 433 % 8);
}

TEST(ProbeBootSectorOnFat, RoundsRootDirectorySectorsDown) {
  // 17 entries are 544 bytes: one whole sector, so 1 + 400 + 1 = 402.
  ExpectGeometry(ProbeFat16({.root_entries = 17}), FileSystemKind::kFat, 512, 4, 402 % 4);
  // 100 entries of 32 bytes fill 1.5625 sectors of 2,048 bytes: 1 + 400 + 1.
  ExpectGeometry(ProbeFat16({.bytes_per_sector = 2048, .root_entries = 100}), FileSystemKind::kFat,
                 2048, 4, 402 % 4);
}

TEST(ProbeBootSectorOnFat, ReadsFat32AndPrefersItToAnNtfsName) {
  const FatBootParams params{.sectors_per_cluster = 8,
                             .reserved_sectors = 33,
                             .fat_count = 2,
                             .fat_size = 1000,
                             .root_entries = 0};
  ImageBuilder builder(kImageSectors);
  builder.WriteFat32Boot(params);
  ExpectGeometry(ProbeImage(builder), FileSystemKind::kFat32, 512, 8, 2033 % 8);

  const std::string ntfs = "NTFS    ";
  std::copy(ntfs.begin(), ntfs.end(), builder.MutableBytes().begin() + 3);
  ExpectGeometry(ProbeImage(builder), FileSystemKind::kFat32, 512, 8, 2033 % 8);
}

TEST(ProbeBootSectorOnNtfs, AlwaysGivesPhaseZero) {
  ImageBuilder builder(kImageSectors);
  builder.WriteNtfsBoot({.bytes_per_sector = 512, .sectors_per_cluster = 8});
  ExpectGeometry(ProbeImage(builder), FileSystemKind::kNtfs, 512, 8, 0);

  builder.WriteNtfsBoot({.bytes_per_sector = 1024, .sectors_per_cluster = 2});
  ExpectGeometry(ProbeImage(builder), FileSystemKind::kNtfs, 1024, 2, 0);
}

TEST(ProbeBootSectorOnNtfs, DecodesClustersStoredAsANegativePowerOfTwo) {
  ImageBuilder builder(kImageSectors);
  builder.WriteNtfsBoot({.bytes_per_sector = 512, .sectors_per_cluster = 0xF4});  // -12
  ExpectGeometry(ProbeImage(builder), FileSystemKind::kNtfs, 512, 4096, 0);
}

TEST(ProbeBootSectorOnExFat, TakesSizesFromShiftsAndPhaseFromTheHeapOffset) {
  ExpectGeometry(ProbeExFat({.bytes_per_sector_shift = 9,
                             .sectors_per_cluster_shift = 3,
                             .cluster_heap_offset = 2053}),
                 FileSystemKind::kExFat, 512, 8, 5);
  ExpectGeometry(ProbeExFat({.bytes_per_sector_shift = 12,
                             .sectors_per_cluster_shift = 0,
                             .cluster_heap_offset = 2053}),
                 FileSystemKind::kExFat, 4096, 1, 0);
}

// Zero and absurd fields must be refused without dividing by zero or
// shifting past the width of the type.
TEST(ProbeBootSector, RefusesBootSectorsWithZeroOrAbsurdFields) {
  struct Case {
    std::string name;
    std::function<void(ImageBuilder&)> write;
  };
  const std::vector<Case> cases = {
      {"FAT16, 0 bytes per sector",
       [](ImageBuilder& b) { b.WriteFat16Boot({.bytes_per_sector = 0}); }},
      {"FAT16, 0 sectors per cluster",
       [](ImageBuilder& b) { b.WriteFat16Boot({.sectors_per_cluster = 0}); }},
      {"FAT16, 500 bytes per sector",
       [](ImageBuilder& b) { b.WriteFat16Boot({.bytes_per_sector = 500}); }},
      {"FAT16, 3 sectors per cluster",
       [](ImageBuilder& b) { b.WriteFat16Boot({.sectors_per_cluster = 3}); }},
      {"FAT32, 0 bytes per sector",
       [](ImageBuilder& b) { b.WriteFat32Boot({.bytes_per_sector = 0, .root_entries = 0}); }},
      {"FAT32, 0 sectors per cluster",
       [](ImageBuilder& b) { b.WriteFat32Boot({.sectors_per_cluster = 0, .root_entries = 0}); }},
      {"NTFS, 0 bytes per sector",
       [](ImageBuilder& b) { b.WriteNtfsBoot({.bytes_per_sector = 0}); }},
      {"NTFS, 0 sectors per cluster",
       [](ImageBuilder& b) { b.WriteNtfsBoot({.sectors_per_cluster = 0}); }},
      {"NTFS, cluster of 2^127 sectors",
       [](ImageBuilder& b) { b.WriteNtfsBoot({.sectors_per_cluster = 0x81}); }},
      {"exFAT, shifts 12 and 20",
       [](ImageBuilder& b) {
         b.WriteExFatBoot({.bytes_per_sector_shift = 12, .sectors_per_cluster_shift = 20});
       }},
      {"exFAT, shifts 31 and 31",
       [](ImageBuilder& b) {
         b.WriteExFatBoot({.bytes_per_sector_shift = 31, .sectors_per_cluster_shift = 31});
       }},
      {"exFAT, shift 17 and 0",
       [](ImageBuilder& b) {
         b.WriteExFatBoot({.bytes_per_sector_shift = 17, .sectors_per_cluster_shift = 0});
       }},
      {"all zeros", [](ImageBuilder&) {}},
      {"lower-case FAT name",
       [](ImageBuilder& b) {
         b.WriteFat16Boot({});
         const std::string lower = "fat16   ";
         std::copy(lower.begin(), lower.end(), b.MutableBytes().begin() + 0x36);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageBuilder builder(kImageSectors);
    c.write(builder);
    EXPECT_FALSE(ProbeImage(builder).recognised);
  }
}

TEST(ProbeBootSector, RefusesASectorZeroThatCannotBeReadWhole) {
  ImageBuilder builder(kImageSectors);
  builder.WriteFat16Boot({});

  std::vector<uint8_t> short_image(builder.Bytes().begin(), builder.Bytes().begin() + 300);
  MemoryHandle short_handle(short_image);
  EXPECT_FALSE(ProbeBootSector(short_handle).recognised);

  MemoryHandle unreadable(builder.Bytes());
  unreadable.MakeUnreadable(0);
  EXPECT_FALSE(ProbeBootSector(unreadable).recognised);

  MemoryHandle no_seek(builder.Bytes());
  no_seek.FailSeeks(true);
  EXPECT_FALSE(ProbeBootSector(no_seek).recognised);

  EXPECT_FALSE(ProbeBootBytes(std::span<const uint8_t>(builder.Bytes()).first(511)).recognised);
}

}  // namespace
}  // namespace officecarve
