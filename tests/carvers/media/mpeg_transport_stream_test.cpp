#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/media/movie_carver_harness.h"

namespace officecarve {
namespace {

using testing::GetBe32;
using testing::PutBe32;
using testing::SampleDocument;

constexpr size_t kPacketBytes = 192;
constexpr uint32_t kArrivalTimeMask = 0x3FFFFFFF;
// A packet that starts a cluster of 1, 4 and 8 units alike.
constexpr size_t kBoundaryPacket = 64;

// Adds `step` to the arrival time stamps of the packets from `first` on,
// wrapping at 2^30.
void AddToTimeStamps(std::vector<uint8_t>& stream, size_t first, uint32_t step) {
  for (size_t at = first * kPacketBytes; at < stream.size(); at += kPacketBytes) {
    PutBe32(stream, at, (GetBe32(stream, at) + step) & kArrivalTimeMask);
  }
}

class TransportStreamCarver : public testing::MovieCarverTest {
 protected:
  void CarveStream() { Carve(&CarveTransportStream, Shift()); }
};

TEST_P(TransportStreamCarver, ClaimsARealStreamThroughItsLastCluster) {
  const std::vector<uint8_t> stream = SampleDocument("clip.m2ts");
  OpenWith(stream);

  CarveStream();

  EXPECT_EQ(ClaimedUnits(), FileUnits(stream.size()));
}

TEST_P(TransportStreamCarver, HoldsOnlyClusterStartsToTheArrivalClock) {
  const std::vector<uint8_t> sample = SampleDocument("clip.m2ts");
  const uint32_t boundary_time = GetBe32(sample, kBoundaryPacket * kPacketBytes);
  const struct {
    const char* what;
    size_t first;
    uint32_t step;
    size_t end;
  } cases[] = {
      // The clock passes 2^30 - 1 just before the cluster starts.
      {"wrap", 0, (kArrivalTimeMask + 1) - boundary_time + 100, sample.size()},
      {"jump at a cluster start", kBoundaryPacket, 3'200'001, kBoundaryPacket * kPacketBytes},
      {"jump inside a cluster", kBoundaryPacket + 1, 3'200'001, sample.size()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> stream = sample;
    AddToTimeStamps(stream, c.first, c.step);
    OpenWith(stream);

    CarveStream();

    EXPECT_EQ(ClaimedUnits(), FileUnits(c.end));
  }
}

TEST_P(TransportStreamCarver, EndsWithTheLastWholePacketBeforeTheRangeEnd) {
  OpenWith(SampleDocument("clip.m2ts"));
  SetRangeLast(Shift() + 10);

  CarveStream();

  EXPECT_EQ(ClaimedUnits(), FileUnits(11 * 512 / kPacketBytes * kPacketBytes));
}

TEST_P(TransportStreamCarver, FollowsALongRunOfEmptyPacketsToItsEnd) {
  // Ten megabytes of packets with one time stamp, well past the point where
  // the buffer drops a stretch, then a packet without its sync byte.
  constexpr size_t kPackets = 53'000;
  std::vector<uint8_t> stream((kPackets + 1) * kPacketBytes);
  for (size_t packet = 0; packet < kPackets; ++packet) stream[packet * kPacketBytes + 4] = 0x47;
  OpenWith(stream);

  CarveStream();

  EXPECT_EQ(ClaimedUnits(), FileUnits(kPackets * kPacketBytes));
}

// Either packet size: the sync byte of one of the first three packets is
// missing.
TEST_P(TransportStreamCarver, RefusesAHeaderUnitWithoutThreePackets) {
  const struct {
    CarverFunction carver;
    const char* sample;
    size_t sync_at;
  } cases[] = {
      {&CarveTransportStream, "clip.m2ts", 4},     {&CarveTransportStream, "clip.m2ts", 196},
      {&CarveTransportStream, "clip.m2ts", 388},   {&CarveBareTransportStream, "clip.ts", 0},
      {&CarveBareTransportStream, "clip.ts", 188}, {&CarveBareTransportStream, "clip.ts", 376},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.sample) + " " + std::to_string(c.sync_at));
    std::vector<uint8_t> stream = SampleDocument(c.sample);
    stream[c.sync_at] = 0x48;
    OpenWith(stream);

    Carve(c.carver, Shift());

    ExpectNoTrace();
  }
}

INSTANTIATE_TEST_SUITE_P(Placements, TransportStreamCarver,
                         ::testing::Combine(::testing::ValuesIn(testing::kMovieShifts),
                                            ::testing::ValuesIn(testing::kMovieClusters)),
                         testing::MovieCaseName);

constexpr size_t kBarePacketBytes = 188;

class BareTransportStreamCarver : public testing::MovieCarverTest {
 protected:
  void CarveStream() { Carve(&CarveBareTransportStream, Shift()); }
};

TEST_P(BareTransportStreamCarver, ClaimsAStreamToItsLastPacketWithTheSyncByte) {
  const std::vector<uint8_t> sample = SampleDocument("clip.ts");
  const size_t packets = sample.size() / kBarePacketBytes;
  // The first packet without its sync byte ends the stream, wherever it lies.
  for (const size_t broken : {packets, packets - 1, size_t{3}, size_t{64}}) {
    SCOPED_TRACE(broken);
    std::vector<uint8_t> stream = sample;
    if (broken < packets) stream[broken * kBarePacketBytes] = 0x48;
    OpenWith(stream);

    CarveStream();

    EXPECT_EQ(ClaimedUnits(), FileUnits(broken * kBarePacketBytes));
  }
}

INSTANTIATE_TEST_SUITE_P(Placements, BareTransportStreamCarver,
                         ::testing::Combine(::testing::ValuesIn(testing::kMovieShifts),
                                            ::testing::ValuesIn(testing::kMovieClusters)),
                         testing::MovieCaseName);

class TransportStreamScan : public testing::MovieScanTest {};

TEST_P(TransportStreamScan, RecoversADocumentSplitAroundAStream) {
  ExpectDocumentRecoveredAround("letter.doc", ".DOC", SampleDocument("clip.m2ts"),
                                FileKind::M2tsStart);
  // As written, the first arrival time stamp is not zero: every third sector
  // starts a packet, and the lowest of them starts the stream.
  std::vector<uint8_t> as_written = SampleDocument("clip.m2ts");
  AddToTimeStamps(as_written, 0, 7920);
  ExpectDocumentRecoveredAround("letter.doc", ".DOC", as_written, FileKind::M2tsPacket, 28);
  // Its 128th packet starts the stream's 47th sector, and is found as well.
  ExpectDocumentRecoveredAround("letter.doc", ".DOC", SampleDocument("clip.ts"),
                                FileKind::MpegTsPacket, 2);
}

INSTANTIATE_TEST_SUITE_P(Placements, TransportStreamScan,
                         ::testing::ValuesIn(testing::kMovieShifts));

}  // namespace
}  // namespace officecarve
