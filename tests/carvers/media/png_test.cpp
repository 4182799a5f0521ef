#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
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

// Writes a chunk at `at` whose length field says `length` and which is
// followed by `data_bytes` bytes of 0x33 and four checksum bytes (unchecked).
size_t WriteChunk(std::vector<uint8_t>& bytes, size_t at, std::string_view type, uint32_t length,
                  size_t data_bytes) {
  if (bytes.size() < at + 12 + data_bytes) bytes.resize(at + 12 + data_bytes);
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(length >> (24 - 8 * i));
  std::copy(type.begin(), type.end(), bytes.begin() + static_cast<ptrdiff_t>(at + 4));
  std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(at + 8), data_bytes, 0x33);
  return at + 12 + data_bytes;
}

size_t AppendChunk(std::vector<uint8_t>& bytes, std::string_view type, uint32_t data_bytes) {
  return WriteChunk(bytes, bytes.size(), type, data_bytes, data_bytes);
}

constexpr std::string_view kText = "tEXt";

// The signature and header chunk of a real picture, for hand-laid chunk lists.
std::vector<uint8_t> PngStart() {
  std::vector<uint8_t> start = SampleDocument("tiny.png");
  start.resize(8 + 25);
  return start;
}

struct Sample {
  const char* file;
  const char* document;  // recovered around the picture by a whole scan
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.file; }

constexpr Sample kPictures[] = {
    {"plain.png", "minutes.docx"},  // two picture-data chunks
    {"tiny.png", "letter.doc"},
    {"palette.png", "minutes.docx"},  // gamma, chromaticity and palette chunks
    // With the chunks programs add: background, physical size, text, time, a
    // colour profile, Exif and XMP.
    {"labelled.png", "handbook.docx"},
    {"commented.png", "budget.xls"},
    {"magick-default.png", "schedule.xlsx"},
    {"magick-icc.png", "letter.doc"},
    {"magick-time.png", "memo.odt"},
    {"exif-xmp.png", "workshop.pptx"},
};

using RealPngs = testing::SampleCases<Sample>;

TEST_P(RealPngs, AreClaimedThroughTheirLastUnitAndTheRestOfItsCluster) {
  ExpectClaimedToItsLastUnitAtEveryGeometry(&CarvePng, SampleDocument(TheSample().file), Shift());
}

TEST_P(RealPngs, LetADocumentAroundThemComeBackWhole) {
  ExpectDocumentAroundComesBackWhole(TheSample().document, TheSample().file, Shift());
}

TEST_P(RealPngs, LetADocumentAroundThemComeBackWholeOnFat32) {
  ExpectDocumentAroundOnFat32(TheSample().document, SampleDocument(TheSample().file));
}

TEST_P(RealPngs, WithAnUnreadableLastUnitReleaseEveryUnit) {
  const std::vector<uint8_t> picture = SampleDocument(TheSample().file);
  const int64_t units = UnitsFor(picture.size(), 512);
  Open(ImageWith(picture, Shift(), Shift() + units + 9));
  unreadable_->insert(Shift() + units - 1);

  Carve(&CarvePng, Shift());

  ExpectNoTrace();
}

INSTANTIATE_TEST_SUITE_P(RealFiles, RealPngs,
                         ::testing::Combine(::testing::ValuesIn(kPictures),
                                            ::testing::ValuesIn(kShifts)),
                         testing::SampleCaseName());

class PngCarver : public testing::OfficeCarverHarness,
                  public ::testing::WithParamInterface<int64_t> {
 protected:
  int64_t Shift() const { return GetParam(); }

  // Lays the picture at the shift with noise after it and carves it.
  void CarveAlone(const std::vector<uint8_t>& picture) {
    Open(ImageWith(picture, Shift(), Shift() + UnitsFor(picture.size(), 512) + 9));
    Carve(&CarvePng, Shift());
  }
};

// A chunk outside the picture's own few is taken on its checksum; one that
// is not four letters is never a chunk.
TEST_P(PngCarver, GivesUpChunksWhoseTypeOrChecksumIsWrongReleasingEveryUnit) {
  std::vector<uint8_t> unchecked = PngStart();
  AppendChunk(unchecked, "IDAT", 3000);
  AppendChunk(unchecked, "iDAT", 3000);  // 0x33 where its checksum belongs
  AppendChunk(unchecked, "IEND", 0);
  std::vector<uint8_t> not_letters = SampleDocument("commented.png");
  const size_t text =
      std::search(not_letters.begin(), not_letters.end(), kText.begin(), kText.end()) -
      not_letters.begin();
  not_letters[text + 2] = '5';
  std::vector<uint8_t> flipped = SampleDocument("magick-icc.png");
  flipped[100] ^= 0x01;  // inside the colour profile
  for (const std::vector<uint8_t>* picture : {&unchecked, &not_letters, &flipped}) {
    CarveAlone(*picture);

    ExpectNoTrace();
  }
}

TEST_P(PngCarver, ClaimsTheInsideOfALongChunkWithoutReadingIt) {
  std::vector<uint8_t> picture = PngStart();
  AppendChunk(picture, "IDAT", 100'000);
  AppendChunk(picture, "IEND", 0);
  Open(ImageWith(picture, Shift(), Shift() + UnitsFor(picture.size(), 512) + 9));
  // The chunk's data starts in the header unit and its last 676 bytes lie in unit 195.
  for (int64_t unit = 1; unit <= 194; ++unit) unreadable_->insert(Shift() + unit);

  Carve(&CarvePng, Shift());

  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), 196));
}

TEST_P(PngCarver, BoundsAChunkAt999996DataBytes) {
  for (const uint32_t data_bytes : {999'996u, 999'997u}) {
    SCOPED_TRACE(data_bytes);
    std::vector<uint8_t> picture = PngStart();
    AppendChunk(picture, "IDAT", data_bytes);
    AppendChunk(picture, "IEND", 0);

    CarveAlone(picture);

    if (data_bytes == 999'996u) {
      EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(picture.size(), 512)));
    } else {
      ExpectNoTrace();
    }
  }
}

// A length field of 0xFFFFFFFC or more plus the four checksum bytes wraps to
// a chunk of 0 to 3 bytes: the walk goes on after those few bytes and
// neither skips nor reads 4 GiB. 0xFFFFFFFB wraps to 0xFFFFFFFF, past the
// chunk limit.
TEST_P(PngCarver, TakesLengthsThatWrapIn32BitsAsTinyChunks) {
  for (const uint32_t length : {0xFFFFFFFCu, 0xFFFFFFFDu, 0xFFFFFFFFu, 0xFFFFFFFBu}) {
    SCOPED_TRACE(length);
    const bool wraps_small = length >= 0xFFFFFFFCu;
    std::vector<uint8_t> picture = PngStart();
    AppendChunk(picture, "IDAT", 2000);
    const size_t header_at = picture.size();
    WriteChunk(picture, header_at, "IDAT", length, 0);
    // The next chunk starts where the wrapped count says.
    if (wraps_small) picture.resize(header_at + 8 + (length + 4));
    AppendChunk(picture, "IEND", 0);

    CarveAlone(picture);

    if (wraps_small) {
      EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(picture.size(), 512)));
    } else {
      ExpectNoTrace();
    }
  }
}

// The cut chunk's header lies in the range's last unit and its checksum in
// the unit after it: the end chunk completes the picture there, a (zero
// length) data chunk fails it at the next chunk header.
TEST_P(PngCarver, EndsAtTheRangeOnlyInsideTheEndChunk) {
  for (const std::string_view cut : {"IEND", "IDAT"}) {
    SCOPED_TRACE(cut);
    std::vector<uint8_t> picture = PngStart();
    AppendChunk(picture, "IDAT", 4 * 512 - 8 - 12 - static_cast<uint32_t>(picture.size()));
    AppendChunk(picture, cut, 0);
    ASSERT_EQ(picture.size(), 4u * 512 + 4);
    AppendChunk(picture, "IEND", 0);
    Open(ImageWith(picture, Shift(), Shift() + 20));
    SetRangeLast(Shift() + 3);

    Carve(&CarvePng, Shift());

    if (cut == "IEND") {
      EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), 4));
    } else {
      ExpectNoTrace();
    }
  }
}

TEST_P(PngCarver, GivesUpWhenTheRangeEndsInsideALongChunk) {
  std::vector<uint8_t> picture = PngStart();
  AppendChunk(picture, "IDAT", 100'000);
  AppendChunk(picture, "IEND", 0);
  Open(ImageWith(picture, Shift(), Shift() + 300));
  SetRangeLast(Shift() + 100);

  Carve(&CarvePng, Shift());

  ExpectNoTrace();
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, PngCarver, ::testing::ValuesIn(kShifts));

// The chunk walk stops at a buffer position of 100 MiB. Chunks of 1,000 data
// bytes are too short to be skipped, so every byte is buffered; being large,
// this runs once.
class PngPositionLimit : public testing::OfficeCarverHarness {
 protected:
  static constexpr size_t kLimit = 100u << 20;

  void CarvePictureOf(size_t picture_bytes) {
    ImageBuilder image(kLimit / 512 + 8);
    std::vector<uint8_t>& bytes = image.MutableBytes();
    const std::vector<uint8_t> start = PngStart();
    std::copy(start.begin(), start.end(), bytes.begin());
    const size_t end_chunk_at = picture_bytes - 12;
    size_t at = start.size();
    while (end_chunk_at - at > 12 + 1019) at = WriteChunk(bytes, at, "IDAT", 1000, 1000);
    const auto last_data = static_cast<uint32_t>(end_chunk_at - at - 12);
    at = WriteChunk(bytes, at, "IDAT", last_data, last_data);
    WriteChunk(bytes, at, "IEND", 0, 0);
    Open(image);
    Carve(&CarvePng, 0);
  }
};

TEST_F(PngPositionLimit, AcceptsAPictureEndingAt100MiBAndNotOneByteMore) {
  CarvePictureOf(kLimit);
  EXPECT_EQ(ClaimedUnits(), UnitRange(0, kLimit / 512));

  CarvePictureOf(kLimit + 1);
  ExpectNoTrace();
}

}  // namespace
}  // namespace officecarve
