#include <cstdint>
#include <span>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/declared_size_harness.h"
#include "scan/identify.h"
#include "testimage/little_endian.h"

namespace officecarve {
namespace {

using testimage::PutU64;
using testing::SampleDocument;

using AsfDeclaredCarver = testing::DeclaredSizeCarver;

constexpr size_t kFileSizeField = 70;

TEST_P(AsfDeclaredCarver, ClaimsARealFileWhoseFirstObjectIsTheFileProperties) {
  const std::vector<uint8_t> asf = SampleDocument("clip.asf");
  ASSERT_EQ(Identify(std::span(asf).first(512)), FileKind::AsfWithProperties);
  ExpectClaimedWhole(&CarveAsfDeclared, asf);
  ExpectDocumentRecoveredAround("letter.doc", ".DOC", asf);
}

TEST_P(AsfDeclaredCarver, TakesTheFileSizeIn64Bits) {
  // Just over 4 GiB: cut to 32 bits it would be two units; whole, it runs
  // to the range end 30 units on.
  std::vector<uint8_t> asf = SampleDocument("clip.asf");
  PutU64(asf, kFileSizeField, (uint64_t{1} << 32) + 1024);
  OpenWith(std::vector<uint8_t>(asf.begin(), asf.begin() + 512), 30);
  Carve(&CarveAsfDeclared, Shift());
  EXPECT_EQ(ClaimedUnits(), ClaimOf(31));
}

TEST_P(AsfDeclaredCarver, GivesUpAHeaderWithoutTheFilePropertiesFirst) {
  std::vector<uint8_t> asf = SampleDocument("clip.asf");
  asf[45] ^= 0xFF;  // the last byte of the object's identifier
  OpenWith(asf);
  Carve(&CarveAsfDeclared, Shift());
  ExpectNoTrace();
}

INSTANTIATE_TEST_SUITE_P(Placements, AsfDeclaredCarver, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
