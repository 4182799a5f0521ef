#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/media/movie_carver_harness.h"

namespace officecarve {
namespace {

using testing::GetBe32;
using testing::PutBe32;
using testing::SampleDocument;
using testing::UnitsFor;

// Where the top-level boxes of the two sample movies lie: ftyp, free, mdat,
// moov.
constexpr size_t kFtypBytes = 32;
constexpr size_t kMdatAt = 40;
constexpr size_t kMoovAt = 6953;

uint32_t FourCc(const char* type) {
  return static_cast<uint32_t>(type[0]) << 24 | static_cast<uint32_t>(type[1]) << 16 |
         static_cast<uint32_t>(type[2]) << 8 | static_cast<uint32_t>(type[3]);
}

// A box whose content never reads as a box header of its own.
void AppendBox(std::vector<uint8_t>& movie, const char* type, uint32_t size) {
  const size_t at = movie.size();
  movie.resize(at + size, 0xEE);
  PutBe32(movie, at, size);
  PutBe32(movie, at + 4, FourCc(type));
}

std::vector<uint8_t> SampleMovie() {
  std::vector<uint8_t> movie = SampleDocument("clip.mp4");
  EXPECT_EQ(GetBe32(movie, kMdatAt + 4), FourCc("mdat"));
  EXPECT_EQ(GetBe32(movie, kMoovAt + 4), FourCc("moov"));
  return movie;
}

class IsoMediaCarver : public testing::MovieCarverTest {
 protected:
  void CarveMovie() { Carve(&CarveIsoMedia, Shift()); }
};

TEST_P(IsoMediaCarver, ClaimsRealMoviesThroughTheirLastCluster) {
  for (const char* name : {"clip.mp4", "clip.3gp", "fragmented.mp4"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> movie = SampleDocument(name);
    OpenWith(movie);

    CarveMovie();

    EXPECT_EQ(ClaimedUnits(), FileUnits(movie.size()));
  }
}

TEST_P(IsoMediaCarver, ClaimsALargeMediaBoxWithoutReadingIt) {
  const std::vector<uint8_t> sample = SampleMovie();
  constexpr uint32_t kMdatBytes = 10'000'000;
  std::vector<uint8_t> movie(sample.begin(), sample.begin() + kMdatAt);
  AppendBox(movie, "mdat", kMdatBytes);
  movie.insert(movie.end(), sample.begin() + kMoovAt, sample.end());
  OpenWith(movie);
  // The box's last two units may be read to reach the next header; no other
  // unit of it is.
  const int64_t mdat_end_unit = static_cast<int64_t>((kMdatAt + kMdatBytes) / 512);
  for (int64_t unit = 1; unit < mdat_end_unit - 2; ++unit) unreadable_->insert(Shift() + unit);

  CarveMovie();

  EXPECT_EQ(ClaimedUnits(), FileUnits(movie.size()));
}

TEST_P(IsoMediaCarver, WalksTheTopLevelBoxesOfFragmentedMoviesAndStillImages) {
  for (const char* type : {"moof", "mfra", "sidx", "styp", "skip", "meta", "pdin"}) {
    SCOPED_TRACE(type);
    std::vector<uint8_t> movie = SampleMovie();
    PutBe32(movie, kMoovAt + 4, FourCc(type));
    OpenWith(movie);

    CarveMovie();

    EXPECT_EQ(ClaimedUnits(), FileUnits(movie.size()));
  }
}

TEST_P(IsoMediaCarver, EndsTheMovieBeforeABoxItDoesNotWalk) {
  const struct {
    const char* type;
    std::optional<uint32_t> size;
  } cases[] = {
      {"\x01\x02\x03\x04", {}},
      {"trak", {}},  // a box that lies only inside another
      // To the end of the file, a 64-bit size, shorter than a box header.
      {"moov", 0},
      {"moov", 1},
      {"moov", 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + std::to_string(c.size.value_or(0)));
    std::vector<uint8_t> movie = SampleMovie();
    PutBe32(movie, kMoovAt + 4, FourCc(c.type));
    if (c.size) PutBe32(movie, kMoovAt, *c.size);
    OpenWith(movie);

    CarveMovie();

    EXPECT_EQ(ClaimedUnits(), FileUnits(kMoovAt));
  }
}

TEST_P(IsoMediaCarver, FindsTheNextBoxWhenABoxHeaderStraddlesAUnitBoundary) {
  // A "free" box whose header starts 4 bytes before the end of the first
  // unit and that ends 2 bytes before the end of the third: the "moov" header
  // after it lies across the third and fourth units.
  const std::vector<uint8_t> sample = SampleMovie();
  std::vector<uint8_t> movie(sample.begin(), sample.begin() + kFtypBytes);
  AppendBox(movie, "free", 508 - kFtypBytes);
  AppendBox(movie, "free", 1026);
  AppendBox(movie, "moov", 4000);
  const size_t movie_bytes = movie.size();
  movie.resize(movie_bytes + 8);  // a box of size 0 ends the walk
  OpenWith(movie);

  CarveMovie();

  EXPECT_EQ(ClaimedUnits(), FileUnits(movie_bytes));
}

TEST_P(IsoMediaCarver, GivesUpAMovieItCannotReadToTheEnd) {
  const std::vector<uint8_t> movie = SampleMovie();
  const int64_t last_unit = Shift() + UnitsFor(movie.size(), 512) - 1;
  for (const int64_t range_last : {Shift() + 10, last_unit - 1}) {
    SCOPED_TRACE(range_last - Shift());
    OpenWith(movie);
    SetRangeLast(range_last);

    CarveMovie();

    ExpectNoTrace();
  }
  // The movie box's last unit is read, not skipped.
  OpenWith(movie);
  unreadable_->insert(last_unit);
  CarveMovie();
  ExpectNoTrace();
}

TEST_P(IsoMediaCarver, RefusesHostileSizes) {
  const struct {
    const char* what;
    size_t at;
    uint32_t value;
  } cases[] = {
      {"ftyp of 256 bytes", 0, 256},
      {"ftyp shorter than its header", 0, 4},
      {"ftyp of size 0", 0, 0},
      {"no leading zero bytes", 0, 0x01000020},
      {"not ftyp", 4, FourCc("ftyq")},
      {"media data to the 32-bit limit", kMdatAt, 0xFFFFFFFF},
      {"movie box to the 32-bit limit", kMoovAt, 0xFFFFFFF8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> movie = SampleMovie();
    PutBe32(movie, c.at, c.value);
    OpenWith(movie, 300);

    CarveMovie();

    ExpectNoTrace();
  }
}

INSTANTIATE_TEST_SUITE_P(Placements, IsoMediaCarver,
                         ::testing::Combine(::testing::ValuesIn(testing::kMovieShifts),
                                            ::testing::ValuesIn(testing::kMovieClusters)),
                         testing::MovieCaseName);

class IsoMediaScan : public testing::MovieScanTest {};

TEST_P(IsoMediaScan, RecoversADocumentSplitAroundAMovie) {
  ExpectDocumentRecoveredAround("letter.doc", ".DOC", SampleDocument("clip.mp4"), FileKind::Mp4);
}

TEST_P(IsoMediaScan, RecoversADocumentSplitAroundA3gpMovie) {
  ExpectDocumentRecoveredAround("minutes.docx", ".DOCX", SampleDocument("clip.3gp"),
                                FileKind::ThreeGp);
}

INSTANTIATE_TEST_SUITE_P(Placements, IsoMediaScan, ::testing::ValuesIn(testing::kMovieShifts));

}  // namespace
}  // namespace officecarve
