#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/media/movie_carver_harness.h"
#include "scan/identify.h"

namespace officecarve {
namespace {

using testing::SampleDocument;
using testing::UnitsFor;

// Both samples hold packs of 2048 bytes, each a 14-byte pack header and its
// packets. clip.vob starts at clock 0; late.vob starts 29 s into its clock,
// as a recording cut from a longer one does.
constexpr size_t kPackBytes = 2048;
constexpr size_t kPackHeaderBytes = 14;

std::vector<uint8_t> Clip() { return SampleDocument("clip.vob"); }
std::vector<uint8_t> Late() { return SampleDocument("late.vob"); }

uint64_t PackClock(const std::vector<uint8_t>& stream, size_t at) {
  return ReadPackClockMpeg2(std::span(stream).subspan(at));
}

// Writes a 33-bit clock into the MPEG-2 pack header at `at`, marker bits set.
void SetPackClock(std::vector<uint8_t>& stream, size_t at, uint64_t clock) {
  stream[at + 4] = static_cast<uint8_t>(0x44 | ((clock >> 27) & 0x38) | ((clock >> 28) & 0x03));
  stream[at + 5] = static_cast<uint8_t>(clock >> 20);
  stream[at + 6] = static_cast<uint8_t>(((clock >> 12) & 0xF8) | 0x04 | ((clock >> 13) & 0x03));
  stream[at + 7] = static_cast<uint8_t>(clock >> 5);
  stream[at + 8] = static_cast<uint8_t>(((clock << 3) & 0xF8) | 0x04 | (stream[at + 8] & 0x03));
}

// late.vob and a copy of its last pack three ticks on: 20,480 bytes, so
// what follows starts a cluster of any size the tests use.
std::vector<uint8_t> LateToAClusterEnd() {
  std::vector<uint8_t> stream = Late();
  const size_t last = stream.size() - kPackBytes;
  stream.insert(stream.end(), stream.begin() + static_cast<ptrdiff_t>(last), stream.end());
  SetPackClock(stream, last + kPackBytes, PackClock(stream, last) + 3);
  return stream;
}

struct Sample {
  const char* name;
  std::vector<uint8_t> (*bytes)();
  const char* document;  // recovered around the stream on a FAT32 volume
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.name; }

const Sample kSamples[] = {
    {"clip_vob", &Clip, "minutes.docx"},
    {"late_vob", &Late, "letter.doc"},
};

class RealProgramStreams : public testing::CarverHarness,
                           public ::testing::WithParamInterface<Sample> {};

TEST_P(RealProgramStreams, AreClaimedFromTheirFirstPackThroughTheirLastUnit) {
  for (const int64_t shift : testing::kMovieShifts) {
    SCOPED_TRACE(shift);
    ExpectClaimedToItsLastUnitAtEveryGeometry(&CarveMpeg2ProgramStream, GetParam().bytes(), shift);
  }
}

// Every pack of the stream starts a cluster and is a candidate; the inner
// ones come up first and leave the stream to its first pack.
TEST_P(RealProgramStreams, LetADocumentAroundThemComeBackWholeOnFat32) {
  ExpectDocumentAroundOnFat32(GetParam().document, GetParam().bytes());
}

INSTANTIATE_TEST_SUITE_P(RealFiles, RealProgramStreams, ::testing::ValuesIn(kSamples),
                         [](const auto& info) { return std::string(info.param.name); });

class Mpeg2ProgramStreamCarver : public testing::MovieCarverTest {
 protected:
  void CarveAt(size_t byte) {
    Carve(&CarveMpeg2ProgramStream, Shift() + static_cast<int64_t>(byte / 512));
  }
};

TEST_P(Mpeg2ProgramStreamCarver, LeavesEveryPackInsideAStreamToItsFirstPack) {
  const std::vector<uint8_t> stream = Late();
  OpenWith(stream);
  for (size_t pack = kPackBytes; pack < stream.size(); pack += kPackBytes) {
    SCOPED_TRACE(pack);
    CarveAt(pack);
    ExpectNoTrace();
  }

  CarveAt(0);

  EXPECT_EQ(ClaimedUnits(), FileUnits(stream.size()));
}

// The clock goes back where the second stream starts: each is bounded on its
// own, the first ending where the second begins.
TEST_P(Mpeg2ProgramStreamCarver, BoundsTwoStreamsBackToBackEachFromItsFirstPack) {
  std::vector<uint8_t> streams = LateToAClusterEnd();
  const size_t second = streams.size();
  const std::vector<uint8_t> clip = Clip();
  streams.insert(streams.end(), clip.begin(), clip.end());

  OpenWith(streams);
  CarveAt(0);
  EXPECT_EQ(ClaimedUnits(), FileUnits(second));

  OpenWith(streams);
  CarveAt(second);
  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift() + static_cast<int64_t>(second / 512),
                                      static_cast<int64_t>(FileUnits(clip.size()).size())));
}

TEST_P(Mpeg2ProgramStreamCarver, EndsAtTheEndCodeAPackOfAnotherFormOrAClockLeap) {
  const std::vector<uint8_t> clip = Clip();
  std::vector<uint8_t> end_code = clip;
  // Then bytes that would read as a packet of 65,535 bytes.
  end_code.insert(end_code.end(), {0x00, 0x00, 0x01, 0xB9, 0xFF, 0xFF});
  std::vector<uint8_t> mpeg1_pack = clip;
  mpeg1_pack.insert(mpeg1_pack.end(),
                    {0x00, 0x00, 0x01, 0xBA, 0x21, 0x00, 0x01, 0x00, 0x01, 0x80, 0x00, 0x01});
  // 8192 starts a cluster of every size the tests use.
  std::vector<uint8_t> leap = clip;
  SetPackClock(leap, 8192, PackClock(leap, 8192 - kPackBytes) + 800'001);
  const struct {
    const char* what;
    std::vector<uint8_t> stream;
    size_t claimed;
  } cases[] = {
      {"the program end code", end_code, clip.size() + 4},
      {"an MPEG-1 pack header", mpeg1_pack, clip.size()},
      {"a clock that leaps ahead at a cluster start", leap, 8192},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    OpenWith(c.stream, 200);

    CarveAt(0);

    EXPECT_EQ(ClaimedUnits(), FileUnits(c.claimed));
  }
}

TEST_P(Mpeg2ProgramStreamCarver, EndsWithTheLastWholePacketBeforeTheRangeEnd) {
  OpenWith(Clip());
  // The range ends inside the packet of the pack at 4096.
  SetRangeLast(Shift() + 10);

  CarveAt(0);

  EXPECT_EQ(ClaimedUnits(), FileUnits(4096 + kPackHeaderBytes));
}

TEST_P(Mpeg2ProgramStreamCarver, ClaimsNothingForWhatIsNotAProgramStream) {
  const std::vector<uint8_t> clip = Clip();
  std::vector<uint8_t> lone_pack(clip.begin(), clip.begin() + kPackHeaderBytes);
  std::vector<uint8_t> mpeg1_form = clip;
  mpeg1_form[4] = 0x21;
  std::vector<uint8_t> marker_clear = clip;
  marker_clear[6] &= ~0x04;
  // A sequence header's start code, which lies inside video, never between packets.
  std::vector<uint8_t> video_after_pack = lone_pack;
  video_after_pack.insert(video_after_pack.end(), {0x00, 0x00, 0x01, 0xB3, 0x00, 0x10});
  const struct {
    const char* what;
    std::vector<uint8_t> stream;
  } cases[] = {
      {"a pack header and noise", lone_pack},
      {"a first pack of MPEG-1 form", mpeg1_form},
      {"a clock marker bit clear", marker_clear},
      {"a video start code after the pack header", video_after_pack},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    OpenWith(c.stream);

    CarveAt(0);

    ExpectNoTrace();
  }
}

INSTANTIATE_TEST_SUITE_P(Placements, Mpeg2ProgramStreamCarver,
                         ::testing::Combine(::testing::ValuesIn(testing::kMovieShifts),
                                            ::testing::ValuesIn(testing::kMovieClusters)),
                         testing::MovieCaseName);

}  // namespace
}  // namespace officecarve
