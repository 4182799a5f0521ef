#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/media/movie_carver_harness.h"

namespace officecarve {
namespace {

using testing::SampleDocument;
using testing::UnitsFor;

// The sample stream holds three packs, the later two on 2048-byte bounds,
// with 2048-byte packets between them.
constexpr size_t kPackBytes = 12;
constexpr size_t kSecondPackAt = 6144;
constexpr size_t kThirdPackAt = 12288;
constexpr uint8_t kEndCode[] = {0x00, 0x00, 0x01, 0xB9};

std::vector<uint8_t> SampleStream() {
  std::vector<uint8_t> stream = SampleDocument("clip.mpg");
  EXPECT_EQ(stream[kSecondPackAt + 3], 0xBA);
  EXPECT_EQ(stream[kThirdPackAt + 3], 0xBA);
  return stream;
}

// The sample's first pack header alone, clock 0.
std::vector<uint8_t> FirstPack() {
  const std::vector<uint8_t> stream = SampleStream();
  return {stream.begin(), stream.begin() + kPackBytes};
}

// Writes a 33-bit system clock into the MPEG-1 pack header at `at`.
void SetPackClock(std::vector<uint8_t>& stream, size_t at, uint64_t clock) {
  stream[at + 4] = static_cast<uint8_t>(0x21 | ((clock >> 29) & 0x0E));
  stream[at + 5] = static_cast<uint8_t>(clock >> 22);
  stream[at + 6] = static_cast<uint8_t>(((clock >> 14) & 0xFE) | 1);
  stream[at + 7] = static_cast<uint8_t>(clock >> 7);
  stream[at + 8] = static_cast<uint8_t>(((clock << 1) & 0xFE) | 1);
}

// The end code, then bytes that read as a packet length of 65535.
void AppendEndCode(std::vector<uint8_t>& stream) {
  stream.insert(stream.end(), std::begin(kEndCode), std::end(kEndCode));
  stream.push_back(0xFF);
  stream.push_back(0xFF);
}

class MpegProgramStreamCarver : public testing::MovieCarverTest {
 protected:
  void CarveStream() { Carve(&CarveMpegProgramStream, Shift()); }
};

TEST_P(MpegProgramStreamCarver, ClaimsARealStreamThroughItsLastCluster) {
  const std::vector<uint8_t> stream = SampleStream();
  OpenWith(stream);

  CarveStream();

  EXPECT_EQ(ClaimedUnits(), FileUnits(stream.size()));
}

TEST_P(MpegProgramStreamCarver, EndsWhereAClusterStartsWithAPackOffTheClock) {
  // Only a pack that starts a cluster is held against the clock of the pack
  // before it; the first pack's clock is 0.
  const bool second_pack_checked = kSecondPackAt % (Cluster() * 512) == 0;
  const struct {
    uint64_t clock;
    size_t end_when_unchecked;
  } cases[] = {
      {0, SampleStream().size()},  // no advance; the third pack is in step again
      {800'001, kThirdPackAt},     // too far ahead; the third pack then goes back
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.clock);
    std::vector<uint8_t> stream = SampleStream();
    SetPackClock(stream, kSecondPackAt, c.clock);
    OpenWith(stream);

    CarveStream();

    EXPECT_EQ(ClaimedUnits(),
              FileUnits(second_pack_checked ? kSecondPackAt : c.end_when_unchecked));
  }
}

TEST_P(MpegProgramStreamCarver, EndsAfterTheProgramEndCode) {
  std::vector<uint8_t> stream = SampleStream();
  AppendEndCode(stream);
  // Room for the 64 KiB packet the end code would announce.
  OpenWith(stream, 200);
  CarveStream();
  EXPECT_EQ(ClaimedUnits(), FileUnits(SampleStream().size() + sizeof(kEndCode)));

  // An end code before the last pack: what follows it is not the stream's.
  const std::vector<uint8_t> sample = SampleStream();
  std::vector<uint8_t> cut(sample.begin(), sample.begin() + kSecondPackAt);
  AppendEndCode(cut);
  cut.insert(cut.end(), sample.begin() + kSecondPackAt, sample.end());
  OpenWith(cut, 200);
  CarveStream();
  EXPECT_EQ(ClaimedUnits(), FileUnits(kSecondPackAt + sizeof(kEndCode)));
}

TEST_P(MpegProgramStreamCarver, EndsWithTheLastWholePacketBeforeTheRangeEnd) {
  const std::vector<uint8_t> stream = SampleStream();
  OpenWith(stream);
  // The range ends inside the packet from byte 4096 to 6144.
  SetRangeLast(Shift() + 10);

  CarveStream();

  EXPECT_EQ(ClaimedUnits(), FileUnits(4096));
}

TEST_P(MpegProgramStreamCarver, ClaimsALongPacketWithoutReadingIt) {
  constexpr uint32_t kPacketBytes = 60'000;
  std::vector<uint8_t> stream = FirstPack();
  stream.resize(kPackBytes + kPacketBytes);
  stream[kPackBytes + 2] = 0x01;
  stream[kPackBytes + 3] = 0xE0;
  stream[kPackBytes + 4] = static_cast<uint8_t>((kPacketBytes - 6) >> 8);
  stream[kPackBytes + 5] = static_cast<uint8_t>(kPacketBytes - 6);
  AppendEndCode(stream);
  // Room for the 64 KiB packet the end code would announce.
  OpenWith(stream, 200);
  // Only the packet's last two units may be read, to reach what follows it.
  const int64_t packet_end_unit = static_cast<int64_t>((kPackBytes + kPacketBytes) / 512);
  for (int64_t unit = 1; unit < packet_end_unit - 2; ++unit) unreadable_->insert(Shift() + unit);

  CarveStream();

  EXPECT_EQ(ClaimedUnits(), FileUnits(kPackBytes + kPacketBytes + sizeof(kEndCode)));
}

TEST_P(MpegProgramStreamCarver, FollowsEmptyPacketsOnlyToTheRangeEnd) {
  // A pack, then packets of no payload up to the range end: 999 units hold
  // exactly 85,246 such packets after the pack.
  constexpr int64_t kUnits = 999;
  std::vector<uint8_t> stream = FirstPack();
  stream.resize(kUnits * 512);
  for (size_t at = kPackBytes; at < stream.size(); at += 6) {
    stream[at + 2] = 0x01;
    stream[at + 3] = 0xE0;
  }
  OpenWith(stream);
  SetRangeLast(Shift() + kUnits - 1);

  CarveStream();

  EXPECT_EQ(ClaimedUnits(), FileUnits(stream.size()));
}

TEST_P(MpegProgramStreamCarver, RefusesPacksOfAnotherForm) {
  const struct {
    const char* what;
    size_t at;
    uint8_t value;
  } cases[] = {
      {"first pack of MPEG-2 form", 4, 0x44},
      {"no pack first", 3, 0xBB},
      {"later pack of MPEG-2 form", kSecondPackAt + 4, 0x44},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> stream = SampleStream();
    stream[c.at] = c.value;
    OpenWith(stream);

    CarveStream();

    ExpectNoTrace();
  }
}

INSTANTIATE_TEST_SUITE_P(Placements, MpegProgramStreamCarver,
                         ::testing::Combine(::testing::ValuesIn(testing::kMovieShifts),
                                            ::testing::ValuesIn(testing::kMovieClusters)),
                         testing::MovieCaseName);

class MpegProgramStreamScan : public testing::MovieScanTest {};

TEST_P(MpegProgramStreamScan, RecoversADocumentSplitAroundAStream) {
  ExpectDocumentRecoveredAround("minutes.docx", ".DOCX", SampleDocument("clip.mpg"),
                                FileKind::Mpeg1PackStart);
}

INSTANTIATE_TEST_SUITE_P(Placements, MpegProgramStreamScan,
                         ::testing::ValuesIn(testing::kMovieShifts));

}  // namespace
}  // namespace officecarve
