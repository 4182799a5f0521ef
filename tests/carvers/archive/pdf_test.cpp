#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/archive/archive_carver_harness.h"

namespace officecarve {
namespace {

using testing::ImageWith;
using testing::kShifts;
using testing::SampleDocument;
using testing::UnitsFor;

class PdfFiles : public testing::RealFiles {};

TEST_P(PdfFiles, AreClaimedThroughTheirLastUnitAndTheRestOfItsCluster) {
  const std::vector<uint8_t> file = CarveAlone();

  EXPECT_EQ(ClaimedUnits(), CompletedFileUnits(GetParam().shift, file.size()));
}

INSTANTIATE_TEST_SUITE_P(Placed, PdfFiles,
                         ::testing::ValuesIn(testing::PlacementsOf({"leaflet.pdf"})),
                         [](const auto& info) { return testing::PlacementName(info.param); });

constexpr std::string_view kHeader = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";

// A PDF text of exactly `end` bytes: the header, a first object, `early`,
// filler lines of page content, then `trailer`.
std::vector<uint8_t> PdfEndingAt(size_t end, std::string_view early, std::string_view trailer) {
  std::string text(kHeader);
  text += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
  text += early;
  while (text.size() + trailer.size() < end) {
    const size_t line = std::min<size_t>(end - trailer.size() - text.size(), 64);
    text.append(line - 1, 'q');
    text.push_back('\n');
  }
  text += trailer;
  EXPECT_EQ(text.size(), end);
  return {text.begin(), text.end()};
}

std::vector<uint8_t> Concat(std::vector<uint8_t> bytes, std::string_view more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
  return bytes;
}

class PdfCarver : public testing::ClaimOnlyCarverHarness,
                  public ::testing::WithParamInterface<int64_t> {
 protected:
  int64_t Shift() const { return GetParam(); }

  // Lays the bytes at the shift with noise behind them, carves them and
  // returns how many units from the shift on stay claimed.
  size_t CarveAlone(const std::vector<uint8_t>& bytes) {
    Open(ImageWith(bytes, Shift(), Shift() + UnitsFor(bytes.size(), 512) + 9));
    Carve(&CarvePdf, Shift());
    const std::vector<int64_t> claimed = ClaimedUnits();
    EXPECT_EQ(claimed, UnitRange(Shift(), static_cast<int64_t>(claimed.size())));
    return claimed.size();
  }
};

TEST_P(PdfCarver, EndsRightAfterTheLineBreaksFollowingTheEndMarker) {
  constexpr std::string_view kTrailer = "startxref\r\n1234\r\n%%EOF\r\n";
  // Ending on a unit boundary, the unit read for the zero byte is given back,
  // as is the one read to see whether an update follows; a byte more and
  // the next unit is the file's.
  const struct {
    size_t end;
    size_t units;
  } cases[] = {{1022, 2}, {1024, 2}, {1025, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.end);
    EXPECT_EQ(CarveAlone(Concat(PdfEndingAt(c.end, "", kTrailer), std::string_view("\0", 1))),
              c.units);
  }
}

TEST_P(PdfCarver, FindsTheEndOnlyInATrailerOnLinesOfItsOwn) {
  // Each text comes first, right after the header; a proper trailer ends the
  // file in its third unit. Ending in the first unit means the text was
  // taken for the file's end.
  const struct {
    std::string_view early;
    size_t units;
  } cases[] = {
      {"startxref\n1234\n%%EOF\n", 1},
      {"startxref\r\n\r\n1234\n\n\r%%EOF\n", 1},
      {"startxref\n00\n%%EOF\n", 1},
      {"startxref\n1234\n%%EOF\n2 0 obj\n<< >>\nendobj\n", 1},  // an update of objects
      {"startxref\n0\n%%EOF\n", 3},                             // a linearised file's first trailer
      {"startxref\n1234\n%%EOF\nxref\n0 1\n0000000000 65535 f \n", 3},
      {"startxref 1234\n%%EOF\n", 3},
      {" startxref\n1234\n%%EOF\n", 3},
      {"startxref\n12a4\n%%EOF\n", 3},
      {"startxref\n1234 %%EOF\n", 3},
      {"startxref\n1234\n%%eof\n", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.early);
    EXPECT_EQ(CarveAlone(PdfEndingAt(1400, c.early, "startxref\n2345\n%%EOF\n")), c.units);
  }
}

TEST_P(PdfCarver, FollowsTheFileAcrossClaimedUnitsAndGivesBackWhatItReadPastTheEnd) {
  // Four units of text around units 2 and 5, which another file holds; the
  // byte after the end lies in unit 6.
  const std::vector<uint8_t> text =
      Concat(PdfEndingAt(4 * 512, "", "startxref\n1234\n%%EOF\n"), "q");
  testimage::ImageBuilder image(static_cast<uint64_t>(Shift() + 16));
  image.FillNoise(0, Shift() + 15, 3);
  const std::pair<int64_t, int64_t> gaps[] = {{Shift() + 2, Shift() + 2},
                                              {Shift() + 5, Shift() + 5}};
  image.PlaceFragmented(Shift(), text, gaps);
  Open(image);
  map_->Claim(Shift() + 2);
  map_->Claim(Shift() + 5);

  Carve(&CarvePdf, Shift());

  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), 6));
}

TEST_P(PdfCarver, GivesUpAndReleasesEveryUnitWhenTheEndCannotBeRead) {
  const std::vector<uint8_t> file = SampleDocument("leaflet.pdf");
  const int64_t units = UnitsFor(file.size(), 512);
  {
    SCOPED_TRACE("the range ends before the last unit; the image goes on");
    Open(ImageWith(file, Shift(), Shift() + units + 9));
    SetRangeLast(Shift() + units - 2);
    Carve(&CarvePdf, Shift());
    ExpectNoTrace();
  }
  {
    SCOPED_TRACE("a unit in the middle cannot be read");
    Open(ImageWith(file, Shift(), Shift() + units + 9));
    unreadable_->insert(Shift() + units / 2);
    Carve(&CarvePdf, Shift());
    ExpectNoTrace();
  }
  {
    SCOPED_TRACE("the end marker and its line break fill the range to its last byte");
    const std::vector<uint8_t> text = PdfEndingAt(3 * 512, "", "startxref\n1234\n%%EOF\n");
    Open(ImageWith(text, Shift(), Shift() + 9));
    SetRangeLast(Shift() + 2);
    Carve(&CarvePdf, Shift());
    ExpectNoTrace();
  }
}

TEST_P(PdfCarver, EndsAFileWhoseEndMarkerLeavesTooFewBytesInTheRangeForAnUpdate) {
  // Two bytes follow the end in the range: too few to hold "xref", so no
  // update can follow and the file ends where it does.
  const std::vector<uint8_t> text =
      Concat(PdfEndingAt(3 * 512 - 2, "", "startxref\n1234\n%%EOF\n"), "qq");
  Open(ImageWith(text, Shift(), Shift() + 9));
  SetRangeLast(Shift() + 2);

  Carve(&CarvePdf, Shift());

  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), 3));
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, PdfCarver, ::testing::ValuesIn(kShifts));

class PdfAroundDocuments : public testing::ClaimOnlyCarverHarness,
                           public ::testing::WithParamInterface<int64_t> {};

TEST_P(PdfAroundDocuments, LeaveTheDocumentIntact) {
  ExpectDocumentRecoveredAround("letter.doc", ".DOC", "leaflet.pdf", GetParam(), 5);
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, PdfAroundDocuments, ::testing::ValuesIn(kShifts));

// The carver holds at most 200 MiB while it looks for the end; this runs
// once, being large.
class PdfHeldBytesLimit : public testing::ClaimOnlyCarverHarness {};

TEST_F(PdfHeldBytesLimit, AcceptsA200MiBFileAndRefusesOneByteMore) {
  constexpr uint64_t kLimit = 200ull * 1024 * 1024;
  constexpr std::string_view kTrailer = "\nstartxref\n1234\n%%EOF\n";
  auto image = std::make_shared<std::vector<uint8_t>>(kLimit + 2 * 512, 0);
  // Zeros between header and trailer: one long line of text.
  const auto lay_out = [&](uint64_t end) {
    std::fill(image->begin(), image->end(), 0);
    std::copy(kHeader.begin(), kHeader.end(), image->begin());
    std::copy(kTrailer.begin(), kTrailer.end(), image->begin() + (end - kTrailer.size()));
  };

  lay_out(kLimit);
  Open(image, 512);
  Carve(&CarvePdf, 0);
  EXPECT_EQ(map_->CountClaimed(), kLimit / 512);

  lay_out(kLimit + 1);
  Open(image, 512);
  Carve(&CarvePdf, 0);
  ExpectNoTrace();
}

}  // namespace
}  // namespace officecarve
