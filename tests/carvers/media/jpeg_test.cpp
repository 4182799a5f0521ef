#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"

namespace officecarve {
namespace {

using testimage::ImageBuilder;
using testing::DocumentAroundForeignFile;
using testing::ImageWith;
using testing::kShifts;
using testing::NameAt;
using testing::SampleDocument;
using testing::UnitsFor;

// The index just past the first start-of-scan segment of a real picture.
size_t ScanDataStart(const std::vector<uint8_t>& picture) {
  size_t at = 2;
  while (picture.at(at + 1) != 0xDA) at += 2 + (picture.at(at + 2) << 8) + picture.at(at + 3);
  return at + 2 + (picture.at(at + 2) << 8) + picture.at(at + 3);
}

// baseline.jpg's header segments, then entropy bytes of 0x11 (no 0xFF) up to
// `size`, which the test then marks with its own end bytes.
std::vector<uint8_t> PictureWithScanData(size_t size) {
  std::vector<uint8_t> picture = SampleDocument("baseline.jpg");
  picture.resize(ScanDataStart(picture));
  picture.resize(size, 0x11);
  return picture;
}

struct Sample {
  const char* file;
  const char* document;  // recovered around the picture by a whole scan
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.file; }

constexpr Sample kPictures[] = {
    {"camera.jpg", "letter.doc"},         // Exif first, with an embedded thumbnail
    {"scan.jpg", "minutes.docx"},         // JFIF
    {"baseline.jpg", "letter.doc"},       // small JFIF
    {"progressive.jpg", "minutes.docx"},  // several scans
    // Neither APP0 nor APP1 first: carved with the others all the same, so
    // the document around them is not carved before them.
    {"adobe_cmyk.jpg", "handbook.docx"},     // Adobe
    {"icc-first.jpg", "budget.xls"},         // a colour profile
    {"tables-first.jpg", "schedule.xlsx"},   // a quantisation table
    {"comment-first.jpg", "memo.odt"},       // a comment
    {"photoshop-first.jpg", "lecture.ppt"},  // Photoshop's IPTC segment
};

using RealJpegs = testing::SampleCases<Sample>;

TEST_P(RealJpegs, AreClaimedThroughTheirLastUnitAndTheRestOfItsCluster) {
  ExpectClaimedToItsLastUnitAtEveryGeometry(&CarveJpeg, SampleDocument(TheSample().file), Shift());
}

TEST_P(RealJpegs, LetADocumentAroundThemComeBackWhole) {
  ExpectDocumentAroundComesBackWhole(TheSample().document, TheSample().file, Shift());
}

TEST_P(RealJpegs, LetADocumentAroundThemComeBackWholeOnFat32) {
  ExpectDocumentAroundOnFat32(TheSample().document, SampleDocument(TheSample().file));
}

TEST_P(RealJpegs, WithoutAnEndMarkerReleaseEveryUnit) {
  std::vector<uint8_t> picture = SampleDocument(TheSample().file);
  picture.resize(picture.size() - 2);
  // Zeros after the picture, so no end marker turns up before the range ends.
  ImageBuilder image(static_cast<uint64_t>(Shift() + UnitsFor(picture.size(), 512) + 9));
  image.Place(Shift(), picture);
  Open(image);

  Carve(&CarveJpeg, Shift());

  ExpectNoTrace();
}

TEST_P(RealJpegs, WithAnUnreadableUnitReleaseEveryUnit) {
  const std::vector<uint8_t> picture = SampleDocument(TheSample().file);
  const int64_t units = UnitsFor(picture.size(), 512);
  Open(ImageWith(picture, Shift(), Shift() + units + 9));
  unreadable_->insert(Shift() + units - 2);

  Carve(&CarveJpeg, Shift());

  ExpectNoTrace();
}

INSTANTIATE_TEST_SUITE_P(RealFiles, RealJpegs,
                         ::testing::Combine(::testing::ValuesIn(kPictures),
                                            ::testing::ValuesIn(kShifts)),
                         testing::SampleCaseName());

class JpegCarver : public testing::OfficeCarverHarness,
                   public ::testing::WithParamInterface<int64_t> {
 protected:
  int64_t Shift() const { return GetParam(); }

  // Lays the picture at the shift with zeros after it and carves it.
  void CarveAlone(const std::vector<uint8_t>& picture) {
    ImageBuilder image(static_cast<uint64_t>(Shift() + UnitsFor(picture.size(), 512) + 9));
    image.Place(Shift(), picture);
    Open(image);
    Carve(&CarveJpeg, Shift());
  }
};

TEST_P(JpegCarver, FindsAnEndMarkerSplitAcrossTwoUnits) {
  std::vector<uint8_t> picture = PictureWithScanData(5 * 512 + 1);
  picture[5 * 512 - 1] = 0xFF;
  picture[5 * 512] = 0xD9;

  CarveAlone(picture);

  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), 6));
}

TEST_P(JpegCarver, FindsAnEndMarkerSplitAroundAnotherFilesUnit) {
  std::vector<uint8_t> picture = PictureWithScanData(5 * 512);
  picture.back() = 0xFF;
  ImageBuilder image(static_cast<uint64_t>(Shift() + 16));
  image.Place(Shift(), picture);
  image.Place(Shift() + 5, std::vector<uint8_t>(512, 0x11));  // another file's unit
  image.Place(Shift() + 6, std::vector<uint8_t>{0xD9});
  Open(image);
  map_->Claim(Shift() + 5);

  Carve(&CarveJpeg, Shift());

  map_->Release(Shift() + 5);
  std::vector<int64_t> expected = UnitRange(Shift(), 5);
  expected.push_back(Shift() + 6);
  EXPECT_EQ(ClaimedUnits(), expected);
}

TEST_P(JpegCarver, EndsAtFfFfD9ButNotAtAStuffedFf00D9) {
  std::vector<uint8_t> picture = PictureWithScanData(7 * 512);
  picture[2 * 512 + 100] = 0xFF;  // a stuffed 0xFF in the entropy data
  picture[2 * 512 + 101] = 0x00;
  picture[2 * 512 + 102] = 0xD9;
  picture[4 * 512 + 10] = 0xFF;  // fill byte before the end marker
  picture[4 * 512 + 11] = 0xFF;
  picture[4 * 512 + 12] = 0xD9;

  CarveAlone(picture);

  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), 5));
}

TEST_P(JpegCarver, RefusesBadHeadersAndSegments) {
  const std::vector<uint8_t> real = PictureWithScanData(3 * 512);
  const struct {
    const char* what;
    size_t at;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"no start marker", 0, {0xFF, 0xD9, 0xFF}},
      {"segment length 2", 2, {0xFF, 0xE0, 0x00, 0x02}},
      {"segment length 0", 2, {0xFF, 0xE0, 0x00, 0x00}},
      {"marker without prefix", 2, {0xFE, 0xE0, 0x00, 0x10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> picture = real;
    std::copy(c.bytes.begin(), c.bytes.end(), picture.begin() + static_cast<ptrdiff_t>(c.at));
    picture.back() = 0xD9;  // an end marker the walk must never reach
    picture[picture.size() - 2] = 0xFF;

    CarveAlone(picture);

    ExpectNoTrace();
  }
}

// A picture whose first segment is neither APP0 nor APP1 has a weaker
// signature: its header must be well formed before anything is claimed, so a
// false start inside a document takes nothing from it.
TEST_P(JpegCarver, RefusesAHeaderWithoutApp0OrApp1UnlessItIsWellFormed) {
  const std::vector<uint8_t> real = SampleDocument("tables-first.jpg");
  const size_t scan = ScanDataStart(real) - 2 -
                      ((real[ScanDataStart(real) - 2] << 8) | real[ScanDataStart(real) - 1]);
  const struct {
    const char* what;
    size_t at;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"a restart marker among the segments", 2, {0xFF, 0xD0, 0x00, 0x43}},
      {"a reserved marker among the segments", 2, {0xFF, 0x02, 0x00, 0x43}},
      {"a scan before any frame header", 2, {0xFF, 0xDA, 0x00, 0x08}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> picture = real;
    ASSERT_GT(scan, c.at);
    std::copy(c.bytes.begin(), c.bytes.end(), picture.begin() + static_cast<ptrdiff_t>(c.at));

    CarveAlone(picture);

    ExpectNoTrace();
  }
}

// A picture kept inside another picture's header (an Exif thumbnail, here a
// preview in a comment segment) is carved only after its outer picture,
// which claims it: carved first, it would cut the outer picture apart, and
// the document around both would take the rest in.
TEST_P(JpegCarver, CarvesAPictureNestedInAnotherAfterIt) {
  const std::vector<uint8_t> baseline = SampleDocument("baseline.jpg");
  for (const char* inner_name : {"adobe_cmyk.jpg", "scan.jpg"}) {
    SCOPED_TRACE(inner_name);
    const std::vector<uint8_t> inner = SampleDocument(inner_name);
    // After its APP0 segment, a comment segment whose payload holds the inner
    // picture from the unit boundary at 1024 on.
    const size_t app0_end = 4 + ((baseline[4] << 8) | baseline[5]);
    const size_t length = 2 + (1024 - app0_end - 4) + inner.size();
    ASSERT_LE(length, 0xFFFFu);
    std::vector<uint8_t> outer(baseline.begin(), baseline.begin() + app0_end);
    outer.insert(outer.end(),
                 {0xFF, 0xFE, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    outer.resize(1024, 0x22);
    outer.insert(outer.end(), inner.begin(), inner.end());
    outer.insert(outer.end(), baseline.begin() + app0_end, baseline.end());
    const std::vector<uint8_t> document = SampleDocument("letter.doc");
    ClearFolder();
    Open(DocumentAroundForeignFile(document, outer, Shift(), 3).image);

    ExpectOnlyRecovered(ScanAll(), NameAt(Shift(), ".DOC"), document);
  }
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, JpegCarver, ::testing::ValuesIn(kShifts));

// The entropy-data search and the header walk stop 32 MiB into the picture;
// these images are 33 MiB of zeros, so this runs once.
class JpegSearchLimit : public testing::OfficeCarverHarness {
 protected:
  static constexpr uint64_t kLimit = 32ull << 20;

  void CarveWithEndAt(uint64_t end_marker_index) {
    ImageBuilder image(kLimit / 512 + 8);
    const std::vector<uint8_t> start = PictureWithScanData(512);
    image.Place(0, start);
    image.MutableBytes()[end_marker_index - 1] = 0xFF;
    image.MutableBytes()[end_marker_index] = 0xD9;
    Open(image);
    Carve(&CarveJpeg, 0);
  }
};

TEST_F(JpegSearchLimit, FindsAnEndMarkerInTheUnitFetchedLastAndNoFurther) {
  CarveWithEndAt(kLimit + 511);
  EXPECT_EQ(ClaimedUnits(), UnitRange(0, kLimit / 512 + 1));

  CarveWithEndAt(kLimit + 512);
  ExpectNoTrace();
}

TEST_F(JpegSearchLimit, GivesUpHeaderSegmentsRunningPastTheLimit) {
  // Comment segments of 64 KiB each up to just past the limit, then a scan
  // that ends at once: the header walk alone must not buffer more.
  std::vector<uint8_t> picture = {0xFF, 0xD8};
  while (picture.size() <= kLimit) {
    picture.insert(picture.end(), {0xFF, 0xFE, 0xFF, 0xFF});
    picture.resize(picture.size() + 0xFFFF - 2, 0x22);
  }
  picture.insert(picture.end(), {0xFF, 0xDA, 0x00, 0x03, 0x00, 0xFF, 0xD9});
  ImageBuilder image(static_cast<uint64_t>(UnitsFor(picture.size(), 512) + 4));
  image.Place(0, picture);
  Open(image);

  Carve(&CarveJpeg, 0);

  ExpectNoTrace();
}

// Segments under two units long are read, not skipped, and a long walk of
// them drops what it has passed: the limit still counts from the picture's
// start, so the walk ends at it however little of the header it holds.
TEST_F(JpegSearchLimit, CountsShortHeaderSegmentsItNoLongerHoldsTowardsTheLimit) {
  for (const bool past : {false, true}) {
    SCOPED_TRACE(past ? "segments past the limit" : "segments up to just below it");
    const uint64_t header_end = past ? kLimit + 1000 : kLimit - 1000;
    std::vector<uint8_t> picture = {0xFF, 0xD8};
    while (picture.size() + 702 <= header_end) {
      picture.insert(picture.end(), {0xFF, 0xE1, 0x02, 0xBC});  // 700 bytes with the length
      picture.resize(picture.size() + 698, 0x22);
    }
    picture.insert(picture.end(), {0xFF, 0xDA, 0x00, 0x03, 0x00, 0xFF, 0xD9});
    const int64_t units = UnitsFor(picture.size(), 512);
    ImageBuilder image(static_cast<uint64_t>(units + 4));
    image.Place(0, picture);
    Open(image);

    Carve(&CarveJpeg, 0);

    if (past) {
      ExpectNoTrace();
    } else {
      EXPECT_EQ(ClaimedUnits(), UnitRange(0, units));
    }
  }
}

}  // namespace
}  // namespace officecarve
