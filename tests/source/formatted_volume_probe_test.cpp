// Boot sectors written by the real formatters, opened as images: the probe
// must find the cluster size the formatter was asked for and the phase that
// the formatter's own layout fields imply.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/temp_dir.h"
#include "source/sector_source.h"
#include "support/format_tools.h"
#include "testimage/image_builder.h"

namespace officecarve {
namespace {

using testing::FindFormatter;
using testing::MakeEmptyImage;
using testing::RunFormatter;
using testing::TempDir;

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | b[at + i];
  return value;
}

std::vector<uint8_t> BootSectorOf(const std::string& path) {
  std::vector<uint8_t> bytes = testimage::ReadFileBytes(path);
  bytes.resize(512);
  return bytes;
}

struct Expected {
  FileSystemKind kind;
  uint32_t bytes_per_sector;
  uint32_t sectors_per_cluster;
  int32_t phase;
};

void ExpectProbed(const std::string& path, const Expected& expected) {
  SectorSource source;
  ASSERT_TRUE(source.OpenImage(path).ok);
  EXPECT_TRUE(source.BootSectorRecognised());
  const VolumeGeometry& probed = source.Probed();
  EXPECT_EQ(probed.kind, expected.kind);
  EXPECT_EQ(probed.bytes_per_sector, expected.bytes_per_sector);
  EXPECT_EQ(probed.sectors_per_cluster, expected.sectors_per_cluster);
  EXPECT_EQ(probed.cluster_phase, expected.phase);
  EXPECT_EQ(probed.last_sector,
            static_cast<int64_t>(std::filesystem::file_size(path) / expected.bytes_per_sector) - 1);
}

TEST(ProbeOfFormattedVolumes, FatGivesTheRequestedClusterAndTheDataAreaPhase) {
  const std::string mkfs = FindFormatter("mkfs.vfat");
  if (mkfs.empty()) GTEST_SKIP() << "mkfs.vfat is not installed";
  struct Case {
    int fat_bits;
    int size_kb;
    uint32_t sectors_per_cluster;
    std::string extra;  // -a: no alignment of the data area; -R: reserved sectors
  };
  const Case cases[] = {{12, 1024, 4, ""},       {16, 16384, 4, ""}, {16, 16384, 4, "-a"},
                        {16, 8192, 2, "-a"},     {32, 4096, 8, ""},  {32, 4096, 8, "-a -R 33"},
                        {32, 4096, 1, "-a -R 7"}};
  TempDir dir;
  std::set<int32_t> phases;
  for (const Case& c : cases) {
    const std::string path = dir / ("fat" + std::to_string(c.fat_bits) + ".img");
    std::filesystem::remove(path);
    SCOPED_TRACE(std::to_string(c.fat_bits) + " " + std::to_string(c.sectors_per_cluster) + " " +
                 c.extra);
    ASSERT_TRUE(RunFormatter(mkfs, "-C " + path + " " + std::to_string(c.size_kb) + " -F " +
                                       std::to_string(c.fat_bits) + " -s " +
                                       std::to_string(c.sectors_per_cluster) + " " + c.extra));
    const std::vector<uint8_t> boot = BootSectorOf(path);
    const uint32_t bytes_per_sector = Le(boot, 0x0B, 2);
    const uint32_t fat_size = c.fat_bits == 32 ? Le(boot, 0x24, 4) : Le(boot, 0x16, 2);
    const uint32_t first_data_sector =
        Le(boot, 0x0E, 2) + boot[0x10] * fat_size + Le(boot, 0x11, 2) * 32 / bytes_per_sector;
    const int32_t phase = static_cast<int32_t>(first_data_sector % c.sectors_per_cluster);
    phases.insert(phase);
    ExpectProbed(path, {c.fat_bits == 32 ? FileSystemKind::kFat32 : FileSystemKind::kFat, 512,
                        c.sectors_per_cluster, phase});
  }
  // Unaligned layouts must have produced clusters that do not start on a
  // multiple of the cluster size, or the phase was never really tested.
  EXPECT_GT(phases.size(), 1u);
}

TEST(ProbeOfFormattedVolumes, NtfsGivesTheRequestedSectorAndClusterWithPhaseZero) {
  const std::string mkntfs = FindFormatter("mkntfs");
  if (mkntfs.empty()) GTEST_SKIP() << "mkntfs is not installed";
  struct Case {
    uint32_t sector_bytes;
    uint32_t cluster_bytes;
  };
  TempDir dir;
  for (const Case& c : {Case{512, 4096}, Case{512, 1024}, Case{4096, 4096}, Case{1024, 8192}}) {
    SCOPED_TRACE(std::to_string(c.sector_bytes) + "/" + std::to_string(c.cluster_bytes));
    const std::string path = dir / "ntfs.img";
    ASSERT_TRUE(MakeEmptyImage(path, 8u << 20));
    ASSERT_TRUE(RunFormatter(mkntfs, "-F -Q -s " + std::to_string(c.sector_bytes) + " -c " +
                                         std::to_string(c.cluster_bytes) + " " + path));
    ExpectProbed(path,
                 {FileSystemKind::kNtfs, c.sector_bytes, c.cluster_bytes / c.sector_bytes, 0});
  }
}

TEST(ProbeOfFormattedVolumes, ExFatTakesThePhaseFromTheClusterHeapOffset) {
  const std::string mkfs = FindFormatter("mkfs.exfat");
  if (mkfs.empty()) GTEST_SKIP() << "mkfs.exfat is not installed";
  TempDir dir;
  for (const uint32_t cluster_bytes : {4096u, 32768u, 131072u}) {
    SCOPED_TRACE(cluster_bytes);
    const std::string path = dir / "exfat.img";
    ASSERT_TRUE(MakeEmptyImage(path, 32u << 20));
    ASSERT_TRUE(RunFormatter(mkfs, "-c " + std::to_string(cluster_bytes) + " " + path));
    const std::vector<uint8_t> boot = BootSectorOf(path);
    const uint32_t sectors_per_cluster = cluster_bytes / 512;
    ASSERT_EQ(1u << boot[0x6D], sectors_per_cluster);
    const int32_t phase = static_cast<int32_t>((Le(boot, 0x58, 4) & 0xFFFF) % sectors_per_cluster);
    ExpectProbed(path, {FileSystemKind::kExFat, 512, sectors_per_cluster, phase});
  }
}

}  // namespace
}  // namespace officecarve
