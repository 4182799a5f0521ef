#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/declared_size_harness.h"
#include "testimage/little_endian.h"

namespace officecarve {
namespace {

using testimage::PutU32;
using testing::SampleDocument;

using CabinetCarver = testing::DeclaredSizeCarver;

// The first unit of the real cabinet with its size fields replaced.
std::vector<uint8_t> CabinetDeclaring(uint32_t cabinet_size, uint32_t reserved) {
  std::vector<uint8_t> header = SampleDocument("archive.cab");
  header.resize(512);
  PutU32(header, 8, cabinet_size);
  PutU32(header, 12, reserved);
  return header;
}

TEST_P(CabinetCarver, ClaimsARealCabinetThroughItsLastUnit) {
  ExpectClaimedWhole(&CarveCabinet, SampleDocument("archive.cab"));
  ExpectDocumentRecoveredAround("minutes.docx", ".DOCX", SampleDocument("archive.cab"));
}

TEST_P(CabinetCarver, TakesTheReservedFieldAsTheHighHalfOfASignedSize) {
  // 40 units of noise follow the header unit.
  const struct {
    uint32_t cabinet_size;
    uint32_t reserved;
    int64_t units;
  } cases[] = {
      {300, 0, 1},
      {512, 0, 1},
      {513, 0, 2},
      {300, 1, 41},          // over 4 GiB: runs to the range end
      {300, 0x80000000, 1},  // negative
      {0xFFFFFFFF, 0xFFFFFFFF, 1},
  };
  for (const auto& c : cases) {
    for (const uint32_t per_cluster : {1u, 4u}) {
      SCOPED_TRACE(std::to_string(c.cabinet_size) + ", reserved " + std::to_string(c.reserved) +
                   ", cluster " + std::to_string(per_cluster));
      OpenWith(CabinetDeclaring(c.cabinet_size, c.reserved), 40);
      SetClusters(per_cluster);
      Carve(&CarveCabinet, Shift());
      EXPECT_EQ(ClaimedUnits(), ClaimOf(c.units, per_cluster));
    }
  }
}

TEST_P(CabinetCarver, ExtendsItsClaimPastUnitsAnotherFileClaimed) {
  const std::vector<uint8_t> cabinet = SampleDocument("archive.cab");  // 23 units
  OpenWith(cabinet, 20);
  for (const int64_t unit : UnitRange(Shift() + 5, 4)) map_->Claim(unit);
  Carve(&CarveCabinet, Shift());
  EXPECT_EQ(ClaimedUnits(), ClaimOf(23 + 4));
}

TEST_P(CabinetCarver, KeepsTheUnitsUpToTheRangeEndWhenTheCabinetRunsPastIt) {
  OpenWith(SampleDocument("archive.cab"));
  SetRangeLast(Shift() + 7);
  Carve(&CarveCabinet, Shift());
  EXPECT_EQ(ClaimedUnits(), ClaimOf(8));
}

INSTANTIATE_TEST_SUITE_P(Placements, CabinetCarver, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
