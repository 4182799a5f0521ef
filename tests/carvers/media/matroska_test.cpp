#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/media/movie_carver_harness.h"

namespace officecarve {
namespace {

using testing::SampleDocument;
using testing::UnitsFor;

std::vector<uint8_t> Mkv() { return SampleDocument("clip.mkv"); }
std::vector<uint8_t> Webm() { return SampleDocument("clip.webm"); }
// A segment of unknown size (ffmpeg's live mode) whose clusters have sizes.
std::vector<uint8_t> LiveWebm() { return SampleDocument("live.webm"); }

// live.webm with every cluster's size (two bytes after its ID 1F 43 B6 75,
// found nowhere else in the file) set to the unknown value 7F FF, as live
// recorders write clusters: their ends are found by walking their blocks.
std::vector<uint8_t> LiveClustersWebm() {
  std::vector<uint8_t> file = LiveWebm();
  constexpr uint8_t kClusterId[] = {0x1F, 0x43, 0xB6, 0x75};
  int clusters = 0;
  for (auto at = file.begin(); (at = std::search(at, file.end(), std::begin(kClusterId),
                                                 std::end(kClusterId))) != file.end();
       at += 4) {
    EXPECT_EQ(at[4] & 0xC0, 0x40) << "a two-byte size";
    at[4] = 0x7F;
    at[5] = 0xFF;
    ++clusters;
  }
  EXPECT_EQ(clusters, 4);
  return file;
}

// clip.mkv's segment header: its ID at byte 40, an eight-byte size after it.
constexpr size_t kMkvSegmentSizeAt = 44;
constexpr size_t kMkvClusterAt = 682;  // a cluster of 7,757 bytes with a two-byte size

struct Sample {
  const char* name;
  std::vector<uint8_t> (*bytes)();
  const char* document;  // recovered around the file on a FAT32 volume
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.name; }

const Sample kSamples[] = {
    {"mkv", &Mkv, "minutes.docx"},                       // MPEG-4 video, FLAC audio
    {"webm", &Webm, "letter.doc"},                       // VP8, Opus
    {"live_webm", &LiveWebm, "minutes.docx"},            // VP9, Vorbis, segment of unknown size
    {"live_clusters", &LiveClustersWebm, "letter.doc"},  // and clusters of unknown size
};

class RealMatroskaFiles : public testing::CarverHarness,
                          public ::testing::WithParamInterface<Sample> {};

TEST_P(RealMatroskaFiles, AreClaimedThroughTheirLastUnitAndTheRestOfItsCluster) {
  for (const int64_t shift : testing::kMovieShifts) {
    SCOPED_TRACE(shift);
    ExpectClaimedToItsLastUnitAtEveryGeometry(&CarveMatroska, GetParam().bytes(), shift);
  }
}

TEST_P(RealMatroskaFiles, LetADocumentAroundThemComeBackWholeOnFat32) {
  ExpectDocumentAroundOnFat32(GetParam().document, GetParam().bytes());
}

INSTANTIATE_TEST_SUITE_P(RealFiles, RealMatroskaFiles, ::testing::ValuesIn(kSamples),
                         [](const auto& info) { return std::string(info.param.name); });

class MatroskaCarver : public testing::MovieCarverTest {
 protected:
  void CarveAlone(const std::vector<uint8_t>& file, int64_t after = 9) {
    OpenWith(file, after);
    Carve(&CarveMatroska, Shift());
  }
};

TEST_P(MatroskaCarver, ClaimsALongClusterWithoutReadingIt) {
  const std::vector<uint8_t> file = Mkv();
  OpenWith(file);
  // The cluster runs from unit 1 to unit 16; its last two units are read to
  // reach the index after it.
  for (int64_t unit = 3; unit <= 14; ++unit) unreadable_->insert(Shift() + unit);

  Carve(&CarveMatroska, Shift());

  EXPECT_EQ(ClaimedUnits(), FileUnits(file.size()));
}

TEST_P(MatroskaCarver, ClaimsNothingForWhatIsNotAMatroskaFile) {
  std::vector<uint8_t> other_type = Webm();
  const auto webm_at = std::search(other_type.begin(), other_type.end(), "webm", "webm" + 4);
  std::copy_n("wemb", 4, webm_at);
  std::vector<uint8_t> cut = Mkv();
  cut.resize(cut.size() / 2);
  std::vector<uint8_t> long_cluster = Mkv();
  long_cluster[kMkvClusterAt + 4] = 0x7F;  // 16,382 bytes, past the segment's end
  long_cluster[kMkvClusterAt + 5] = 0xFE;
  std::vector<uint8_t> no_cluster = LiveWebm();
  no_cluster.resize(3804);  // the header elements before the first cluster
  const struct {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"another document type", other_type},
      {"a segment cut in half", cut},
      {"a cluster running past its segment", long_cluster},
      {"a live segment without a cluster", no_cluster},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CarveAlone(c.file);

    ExpectNoTrace();
  }
}

// A segment that declares more than the range holds is given up before a
// single unit of it is claimed: no progress line.
TEST_P(MatroskaCarver, GivesUpASegmentLongerThanTheRangeAtOnce) {
  std::vector<uint8_t> file = Mkv();
  // 1 GiB, in the same eight bytes.
  const uint8_t size[] = {0x01, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00};
  std::copy(std::begin(size), std::end(size), file.begin() + kMkvSegmentSizeAt);

  CarveAlone(file, 2100);

  ExpectNoTrace();
  EXPECT_EQ(frontend_.pumps, 0);
}

INSTANTIATE_TEST_SUITE_P(Placements, MatroskaCarver,
                         ::testing::Combine(::testing::ValuesIn(testing::kMovieShifts),
                                            ::testing::ValuesIn(testing::kMovieClusters)),
                         testing::MovieCaseName);

}  // namespace
}  // namespace officecarve
