#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/archive/archive_carver_harness.h"
#include "testimage/doc_samples.h"

namespace officecarve {
namespace {

using testimage::BuildZipPackage;
using testimage::ZipPackage;
using testimage::ZipSpec;
using testing::ImageWith;
using testing::kShifts;
using testing::SampleDocument;
using testing::UnitsFor;

void PutLe(std::vector<uint8_t>& bytes, size_t at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

class ZipFiles : public testing::RealFiles {};

// bundle.zip holds deflated entries, stored.zip one stored entry of eight
// units, commented.zip a comment of three units, drawing.zip the first entry
// of a zipped drawing.
TEST_P(ZipFiles, AreClaimedThroughTheirLastUnitAndTheRestOfItsCluster) {
  const std::vector<uint8_t> file = CarveAlone();

  EXPECT_EQ(ClaimedUnits(), CompletedFileUnits(GetParam().shift, file.size()));
}

INSTANTIATE_TEST_SUITE_P(Placed, ZipFiles,
                         ::testing::ValuesIn(testing::PlacementsOf(
                             {"bundle.zip", "stored.zip", "commented.zip", "drawing.zip"})),
                         [](const auto& info) { return testing::PlacementName(info.param); });

class ZipCarver : public testing::ClaimOnlyCarverHarness,
                  public ::testing::WithParamInterface<int64_t> {
 protected:
  int64_t Shift() const { return GetParam(); }

  // Lays the archive at the shift with `after` units of noise behind it and
  // carves it.
  void CarveAlone(const std::vector<uint8_t>& archive, int64_t after = 9) {
    Open(ImageWith(archive, Shift(), Shift() + UnitsFor(archive.size(), 512) + after));
    Carve(&CarveZip, Shift());
  }

  void ExpectClaimedExactly(size_t bytes) {
    EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(bytes, 512)));
  }
};

TEST_P(ZipCarver, ClaimsAStoredEntryWithoutReadingIt) {
  const std::vector<uint8_t> archive = SampleDocument("stored.zip");
  Open(ImageWith(archive, Shift(), Shift() + UnitsFor(archive.size(), 512) + 9));
  // The entry's data fills units 1 to 6 whole; none of them is ever read.
  for (int64_t unit = 1; unit <= 6; ++unit) unreadable_->insert(Shift() + unit);

  Carve(&CarveZip, Shift());

  ExpectClaimedExactly(archive.size());
}

TEST_P(ZipCarver, FollowsAnEntryWhoseHeaderCrossesAUnitBoundary) {
  // The second local header starts 12 bytes before the end of unit 0, so
  // reading its fixed part holds unit 1 as well; its data then ends 6 bytes
  // before the end of unit 2, which must be read, not skipped.
  ZipSpec recipe;
  recipe.entries = {{"a.txt", std::string(500 - 35, 'a')}, {"b.txt", std::string(1030 - 35, 'b')}};
  const ZipPackage zip = BuildZipPackage(recipe);
  ASSERT_EQ(zip.local_header_offsets[1], 500u);

  CarveAlone(zip.bytes);

  ExpectClaimedExactly(zip.bytes.size());
}

TEST_P(ZipCarver, BoundsAnArchiveOfManySmallEntries) {
  ZipSpec recipe;
  for (int i = 0; i < 300; ++i) {
    recipe.entries.emplace_back("notes/entry_" + std::to_string(i) + ".txt",
                                std::string(40 + i % 90, 'n'));
  }
  const std::vector<uint8_t> archive = BuildZipPackage(recipe).bytes;
  ASSERT_GT(archive.size(), 100u * 512);

  CarveAlone(archive);

  ExpectClaimedExactly(archive.size());
}

TEST_P(ZipCarver, GivesUpAtARecordOfAnUnknownKind) {
  // A ZIP64 end record, an archive extra-data record, garbage.
  for (const uint32_t signature : {0x06064B50u, 0x08064B50u, 0x41414141u}) {
    SCOPED_TRACE(signature);
    std::vector<uint8_t> archive = SampleDocument("bundle.zip");
    PutLe(archive, 7243, signature, 4);  // the second local header

    CarveAlone(archive);

    ExpectNoTrace();
  }
}

TEST_P(ZipCarver, GivesUpAnArchiveThatCannotBeReadToItsEnd) {
  const std::vector<uint8_t> archive = SampleDocument("bundle.zip");
  const int64_t units = UnitsFor(archive.size(), 512);
  {
    SCOPED_TRACE("the range ends one unit short; the image goes on");
    Open(ImageWith(archive, Shift(), Shift() + units + 9));
    SetRangeLast(Shift() + units - 2);
    Carve(&CarveZip, Shift());
    ExpectNoTrace();
  }
  {
    SCOPED_TRACE("the last unit cannot be read");
    Open(ImageWith(archive, Shift(), Shift() + units + 9));
    unreadable_->insert(Shift() + units - 1);
    Carve(&CarveZip, Shift());
    ExpectNoTrace();
  }
}

TEST_P(ZipCarver, DoesNotLetARecordLengthWrapAround32Bits) {
  // The first entry claims 65,535 bytes of extra field and almost 4 GiB of
  // data; in 32 bits the sum wraps to its true length and would land on the
  // next header, turning a hostile record into a plausible archive.
  ZipSpec recipe;
  recipe.entries = {{"a.txt", "0123456789"}, {"b.txt", "abc"}};
  ZipPackage zip = BuildZipPackage(recipe);
  PutLe(zip.bytes, 28, 0xFFFF, 2);
  PutLe(zip.bytes, 18, (uint64_t{1} << 32) - (0xFFFF - 10), 4);
  ASSERT_EQ(static_cast<uint32_t>(30 + 5 + 0xFFFF + (uint64_t{1} << 32) - (0xFFFF - 10)),
            zip.local_header_offsets[1]);

  CarveAlone(zip.bytes, 200);

  ExpectNoTrace();
}

TEST_P(ZipCarver, HonoursAHugeCommentLengthOnlyWhileTheRangeHoldsIt) {
  ZipSpec recipe;
  recipe.entries = {{"a.txt", "0123456789"}};
  ZipPackage zip = BuildZipPackage(recipe);
  PutLe(zip.bytes, zip.end_record_offset + 20, 0xFFFF, 2);
  const size_t claimed_end = zip.end_record_offset + 22 + 0xFFFF;
  {
    SCOPED_TRACE("the range ends inside the comment");
    CarveAlone(zip.bytes, 100);
    ExpectNoTrace();
  }
  {
    SCOPED_TRACE("the range holds the whole comment");
    CarveAlone(zip.bytes, 200);
    ExpectClaimedExactly(claimed_end);
  }
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, ZipCarver, ::testing::ValuesIn(kShifts));

class ZipAroundDocuments : public testing::ClaimOnlyCarverHarness,
                           public ::testing::WithParamInterface<int64_t> {};

// The archive lies whole between the document's fragments and is carved
// first; the document carver then steps over exactly its units.
TEST_P(ZipAroundDocuments, LeaveTheDocumentIntact) {
  ExpectDocumentRecoveredAround("minutes.docx", ".DOCX", "bundle.zip", GetParam(), 7);
}

TEST_P(ZipAroundDocuments, LeaveTheDocumentIntactWhenTheArchiveIsAZippedDrawing) {
  ExpectDocumentRecoveredAround("letter.doc", ".DOC", "drawing.zip", GetParam(), 5);
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, ZipAroundDocuments, ::testing::ValuesIn(kShifts));

}  // namespace
}  // namespace officecarve
