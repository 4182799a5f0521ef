#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/declared_size_harness.h"
#include "testimage/little_endian.h"

namespace officecarve {
namespace {

using testimage::PutText;
using testimage::PutU32;
using testing::SampleDocument;

using BitmapCarver = testing::DeclaredSizeCarver;

// The header unit of a bitmap that declares `length` bytes.
std::vector<uint8_t> BitmapDeclaring(uint32_t length, uint32_t reserved = 0) {
  std::vector<uint8_t> header(512, 0x5A);
  PutText(header, 0, "BM");
  PutU32(header, 2, length);
  PutU32(header, 6, reserved);
  return header;
}

TEST_P(BitmapCarver, ClaimsARealBitmapThroughItsLastUnit) {
  ExpectClaimedWhole(&CarveBitmap, SampleDocument("photo.bmp"));
}

TEST_P(BitmapCarver, LetsADocumentLyingAroundItComeBackWhole) {
  ExpectDocumentRecoveredAround("letter.doc", ".DOC", SampleDocument("photo.bmp"));
}

TEST_P(BitmapCarver, KeepsOnlyTheHeaderUnitWhenTheSizeIsImplausible) {
  // 40 units of noise follow: a carver that trusted the size would take them.
  const struct {
    uint32_t length;
    int64_t units;
  } cases[] = {
      {57, 1},
      {104'857'601, 1},
      {0xFFFFFFFF, 1},
      {104'857'600, 41},  // the largest size trusted runs to the range end
  };
  for (const auto& c : cases) {
    for (const uint32_t per_cluster : {1u, 4u}) {
      SCOPED_TRACE(std::to_string(c.length) + " bytes, cluster " + std::to_string(per_cluster));
      OpenWith(BitmapDeclaring(c.length), 40);
      SetClusters(per_cluster);
      Carve(&CarveBitmap, Shift());
      EXPECT_EQ(ClaimedUnits(), ClaimOf(c.units, per_cluster));
    }
  }
}

TEST_P(BitmapCarver, CoversItsSizeWithUnclaimedUnitsShowingProgressEvery200) {
  // 1,000,000 bytes take 1,954 units; 50 units inside belong to another file.
  OpenWith(BitmapDeclaring(1'000'000), 2100);
  const std::vector<int64_t> other_file = UnitRange(Shift() + 100, 50);
  for (const int64_t unit : other_file) map_->Claim(unit);

  Carve(&CarveBitmap, Shift());

  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), 1954 + 50));
  EXPECT_EQ(frontend_.pumps, 9);
  // The last line, after its 1,800th unit, which lies 50 units further on.
  EXPECT_EQ(frontend_.labels[1][3], std::string(texts_.Text(TextId::kSectorPrefix)) +
                                        std::to_string(Shift()) + ", " +
                                        std::to_string(Shift() + 1850));
}

TEST_P(BitmapCarver, GivesUpAHeaderWithNonZeroReservedFields) {
  OpenWith(BitmapDeclaring(4096, 0x00010000));
  Carve(&CarveBitmap, Shift());
  ExpectNoTrace();
}

INSTANTIATE_TEST_SUITE_P(Placements, BitmapCarver, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
