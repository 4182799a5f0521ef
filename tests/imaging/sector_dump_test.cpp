#include "imaging/sector_dump.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace officecarve {
namespace {

TEST(SectorDump, ShowsA512ByteSectorAsTheHeaderAndSixteenLines) {
  std::vector<uint8_t> sector(512, 0);
  const uint8_t start[] = {0xEB, 0x52, 0x90, 0x4E, 0x54, 0x46, 0x53, 0x20};
  std::copy(std::begin(start), std::end(start), sector.begin());
  const std::vector<std::string> lines = SectorDumpLines(sector);

  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[0],
            "     0 1  2 3  4 5  6 7  8 9  A B  C D  E F  0 1  2 3  4 5  6 7  8 9  A B  C D  E F  "
            "0123456789ABCDEF0123456789ABCDEF");
  EXPECT_EQ(lines[0].size(), 117u);
  EXPECT_EQ(lines[1],
            "000: EB52 904E 5446 5320 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 "
            ".R.NTFS ........................");
  for (size_t line = 1; line < lines.size(); ++line) {
    char offset[8];
    std::snprintf(offset, sizeof(offset), "%03zX: ", (line - 1) * 32);
    EXPECT_EQ(lines[line].substr(0, 5), offset);
    EXPECT_EQ(lines[line].size(), 5u + 16 * 5 + 32);
  }
  EXPECT_EQ(lines.back().substr(0, 5), "1E0: ");
}

TEST(SectorDump, ShowsOnlyPrintableAsciiInTheCharacterColumn) {
  std::vector<uint8_t> sector(32);
  const uint8_t bytes[] = {0x1F, 0x20, 0x41, 0x7E, 0x7F, 0x80, 0xC8, 0xFF};
  std::copy(std::begin(bytes), std::end(bytes), sector.begin());
  const std::vector<std::string> lines = SectorDumpLines(sector);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].substr(0, 25), "000: 1F20 417E 7F80 C8FF ");
  EXPECT_EQ(lines[1].substr(5 + 80, 8), ". A~....");
}

TEST(SectorDump, LeavesOutATrailingPartialLineAndWidensLargeOffsets) {
  EXPECT_EQ(SectorDumpLines(std::vector<uint8_t>(63)).size(), 2u);
  EXPECT_EQ(SectorDumpLines(std::vector<uint8_t>(31)).size(), 1u);
  EXPECT_EQ(SectorDumpLines({}).size(), 1u);
  const std::vector<std::string> big = SectorDumpLines(std::vector<uint8_t>(8192, 0x41));
  ASSERT_EQ(big.size(), 257u);
  EXPECT_EQ(big.back().substr(0, 6), "1FE0: ");
  EXPECT_EQ(big.back().substr(6, 5), "4141 ");
}

}  // namespace
}  // namespace officecarve
