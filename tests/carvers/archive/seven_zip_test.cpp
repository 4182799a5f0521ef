#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/declared_size_harness.h"
#include "testimage/little_endian.h"

namespace officecarve {
namespace {

using testimage::PutU64;
using testing::SampleDocument;

using SevenZipCarver = testing::DeclaredSizeCarver;

constexpr uint64_t kMaxU64 = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kMaxI64 = std::numeric_limits<int64_t>::max();

TEST_P(SevenZipCarver, ClaimsARealArchiveOfEitherFormatVersionThroughItsLastUnit) {
  for (const char* archive : {"archive.7z", "archive_v04.7z"}) {
    SCOPED_TRACE(archive);
    ExpectClaimedWhole(&CarveSevenZip, SampleDocument(archive));
    ExpectDocumentRecoveredAround("letter.doc", ".DOC", SampleDocument(archive));
  }
}

TEST_P(SevenZipCarver, KeepsOnlyTheHeaderUnitWhenTheSizeFieldsOverflow) {
  // 40 units of noise follow the header unit.
  const struct {
    uint64_t next_header_offset;
    uint64_t next_header_size;
    int64_t units;
  } cases[] = {
      {kMaxU64, 0x1000, 1},  // wrapped round, it would read as 4 KiB
      {0x8000000000000000, 0x8000000000000000, 1},
      {kMaxI64, 1, 1},
      {kMaxI64 - 32, 1, 1},
      {kMaxI64 - 32, 0, 41},  // the largest size: runs to the range end
      {uint64_t{1} << 40, 0, 41},
      {0, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.next_header_offset) + " + " + std::to_string(c.next_header_size));
    std::vector<uint8_t> header = SampleDocument("archive.7z");
    header.resize(512);
    PutU64(header, 12, c.next_header_offset);
    PutU64(header, 20, c.next_header_size);
    OpenWith(header, 40);
    Carve(&CarveSevenZip, Shift());
    EXPECT_EQ(ClaimedUnits(), ClaimOf(c.units));
  }
}

INSTANTIATE_TEST_SUITE_P(Placements, SevenZipCarver, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
