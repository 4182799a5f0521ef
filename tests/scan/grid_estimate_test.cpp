#include "scan/grid_estimate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace officecarve {
namespace {

// Sectors on a grid: `count` cluster starts of `sectors_per_cluster` with
// the given phase, spread over the disk as files of different lengths are.
std::vector<int64_t> GridSectors(int count, int64_t sectors_per_cluster, int64_t phase) {
  std::vector<int64_t> sectors;
  int64_t cluster = 3;
  for (int i = 0; i < count; ++i) {
    sectors.push_back(phase + cluster * sectors_per_cluster);
    cluster += 1 + (i * 7919) % 13;  // 1..13 clusters per file
  }
  return sectors;
}

TEST(GridEstimate, FindsTheLargestClusterOnWhichNearlyAllStrongHeadersAgree) {
  struct Case {
    std::string what;
    std::vector<int64_t> sectors;
    uint32_t bytes_per_sector = 512;
    bool found;
    uint32_t sectors_per_cluster;
    int32_t phase;
  };
  std::vector<int64_t> with_strays = GridSectors(90, 8, 0);
  for (const int64_t stray : {101, 203, 305, 407, 509, 611, 713, 815, 917}) {
    with_strays.push_back(stray);  // 9 of 99 off the grid: still 90.9%
  }
  std::vector<int64_t> too_many_strays = GridSectors(40, 8, 0);
  for (int64_t stray = 1; stray <= 6; ++stray) too_many_strays.push_back(stray * 100 + 1);
  const Case cases[] = {
      {"three hits", {8, 16, 24}, 512, false, 1, 0},
      {"fifteen hits on one grid", GridSectors(15, 8, 0), 512, false, 1, 0},
      {"a clean 4 KiB image", GridSectors(50, 8, 0), 512, true, 8, 0},
      {"shifted by 63 sectors", GridSectors(50, 8, 63 % 8), 512, true, 8, 7},
      {"2 KiB clusters", GridSectors(60, 4, 1), 512, true, 4, 1},
      {"32 KiB clusters", GridSectors(40, 64, 35), 512, true, 64, 35},
      {"64 KiB clusters, the largest looked for", GridSectors(40, 128, 5), 512, true, 128, 5},
      {"128 KiB clusters count as 64 KiB", GridSectors(40, 256, 5), 512, true, 128, 5},
      {"a few strays among many", with_strays, 512, true, 8, 0},
      {"too many strays to believe any grid", too_many_strays, 512, false, 1, 0},
      {"4096-byte sectors, 32 KiB clusters", GridSectors(40, 8, 3), 4096, true, 8, 3},
      {"no grid at all", GridSectors(80, 1, 0), 512, false, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GridHistogram histogram;
    for (const int64_t sector : c.sectors) histogram.Add(sector);
    const GridEstimate estimate = histogram.Estimate(c.bytes_per_sector);
    EXPECT_EQ(estimate.headers, c.sectors.size());
    EXPECT_EQ(estimate.found, c.found);
    EXPECT_EQ(estimate.sectors_per_cluster, c.sectors_per_cluster);
    if (c.found) {
      EXPECT_EQ(estimate.cluster_phase, c.phase);
    }
  }
}

TEST(GridEstimate, CountsOnlyKindsThatStartFilesAndAreHardToMeetByChance) {
  for (const FileKind kind : {FileKind::CompoundFile, FileKind::ZippedXml, FileKind::JpegJfif,
                              FileKind::Png, FileKind::Pdf, FileKind::Zip, FileKind::Bitmap,
                              FileKind::RiffWave, FileKind::Mp4, FileKind::Rar}) {
    EXPECT_TRUE(IsStrongHeader(kind)) << FileKindName(kind);
  }
  for (const FileKind kind :
       {FileKind::None, FileKind::JpegOther, FileKind::FatDirectory, FileKind::Mpeg2Pack,
        FileKind::Mpeg1Pack, FileKind::M2tsPacket, FileKind::MpegTsPacket}) {
    EXPECT_FALSE(IsStrongHeader(kind)) << FileKindName(kind);
  }
}

}  // namespace
}  // namespace officecarve
