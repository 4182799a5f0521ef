#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/declared_size_harness.h"
#include "testimage/image_builder.h"
#include "testimage/little_endian.h"

namespace officecarve {
namespace {

using testimage::PseudoRandomBytes;
using testimage::PutText;
using testimage::PutU32;
using testing::SampleDocument;

using RiffCarver = testing::DeclaredSizeCarver;
using RiffDrawingCarver = testing::DeclaredSizeCarver;

// A RIFF file of `bytes` bytes with the given form whose chunk size field
// holds `chunk_size`: the size field, a version chunk, then stand-in data.
std::vector<uint8_t> RiffFile(std::string_view form, size_t bytes, uint32_t chunk_size) {
  std::vector<uint8_t> file = PseudoRandomBytes(bytes, 3);
  PutText(file, 0, "RIFF");
  PutU32(file, 4, chunk_size);
  PutText(file, 8, form);
  PutText(file, 12, "vrsn");
  PutU32(file, 16, 2);
  return file;
}

// A drawing whose chunk size matches its length. No free tool writes these.
std::vector<uint8_t> Drawing(size_t bytes) {
  return RiffFile("CDR9", bytes, static_cast<uint32_t>(bytes - 8));
}

TEST_P(RiffCarver, ClaimsRealWaveAndVideoFilesThroughTheirLastUnit) {
  for (const char* name : {"tone.wav", "clip.avi"}) {
    SCOPED_TRACE(name);
    ExpectClaimedWhole(&CarveRiff, SampleDocument(name));
  }
}

TEST_P(RiffCarver, LetsADocumentLyingAroundItComeBackWhole) {
  ExpectDocumentRecoveredAround("minutes.docx", ".DOCX", SampleDocument("clip.avi"));
  ExpectDocumentRecoveredAround("letter.doc", ".DOC", SampleDocument("tone.wav"));
}

TEST_P(RiffCarver, TakesTheLengthPlusEightIn32Bits) {
  // 40 units of noise follow the header unit.
  const struct {
    uint32_t chunk_size;
    int64_t units;
  } cases[] = {
      {0xFFFFFFF8, 1},   // wraps to 0
      {0xFFFFFFFF, 1},   // wraps to 7
      {0xFFFFFFF7, 41},  // 4 GiB - 1: runs to the range end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chunk_size);
    OpenWith(RiffFile("WAVE", 512, c.chunk_size), 40);
    Carve(&CarveRiff, Shift());
    EXPECT_EQ(ClaimedUnits(), ClaimOf(c.units));
  }
}

TEST_P(RiffCarver, KeepsTheUnitsUpToTheRangeEndWhenTheFileRunsPastIt) {
  OpenWith(SampleDocument("tone.wav"));
  SetRangeLast(Shift() + 4);
  Carve(&CarveRiff, Shift());
  EXPECT_EQ(ClaimedUnits(), ClaimOf(5));
}

TEST_P(RiffDrawingCarver, ClaimsADrawingThroughItsLastUnit) {
  ExpectClaimedWhole(&CarveRiffDrawing, Drawing(9 * 512 + 100));
  ExpectDocumentRecoveredAround("minutes.docx", ".DOCX", Drawing(9 * 512 + 100));
}

TEST_P(RiffDrawingCarver, GivesUpADrawingDeclaringMoreThan1000MiB) {
  // The limit itself is trusted and runs to the range end, 20 units on.
  OpenWith(RiffFile("CDR9", 512, 1'048'576'000 - 8), 20);
  Carve(&CarveRiffDrawing, Shift());
  EXPECT_EQ(ClaimedUnits(), ClaimOf(21));

  OpenWith(RiffFile("CDR9", 512, 1'048'576'000 - 7), 20);
  Carve(&CarveRiffDrawing, Shift());
  ExpectNoTrace();
}

TEST_P(RiffDrawingCarver, GivesUpADrawingWithAnUnreadableUnit) {
  OpenWith(Drawing(9 * 512));
  unreadable_->insert(Shift() + 6);
  Carve(&CarveRiffDrawing, Shift());
  ExpectNoTrace();
}

TEST_P(RiffDrawingCarver, KeepsTheUnitsUpToTheRangeEndWhenTheDrawingRunsPastIt) {
  OpenWith(Drawing(9 * 512));
  SetRangeLast(Shift() + 4);
  Carve(&CarveRiffDrawing, Shift());
  EXPECT_EQ(ClaimedUnits(), ClaimOf(5));
}

TEST_P(RiffDrawingCarver, ReadsALongDrawingAroundAnotherFileShowingProgressEvery200Units) {
  OpenWith(Drawing(2500 * 512), 40);
  const std::vector<int64_t> other_file = UnitRange(Shift() + 2100, 30);
  for (const int64_t unit : other_file) map_->Claim(unit);
  // A unit past the drawing's end that cannot be read is never touched.
  unreadable_->insert(Shift() + 2530);

  Carve(&CarveRiffDrawing, Shift());

  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), 2500 + 30));
  EXPECT_EQ(frontend_.pumps, 12);
  EXPECT_EQ(frontend_.labels[1][3], std::string(texts_.Text(TextId::kSectorPrefix)) +
                                        std::to_string(Shift()) + ", " +
                                        std::to_string(Shift() + 2430));
}

INSTANTIATE_TEST_SUITE_P(Placements, RiffCarver, ::testing::ValuesIn(testing::kShifts));
INSTANTIATE_TEST_SUITE_P(Placements, RiffDrawingCarver, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
