// Storm blocks of the sound kinds that came after the first table.
#include <cstdint>
#include <span>
#include <string_view>

#include "testimage/storm_writers.h"

namespace officecarve::testimage::storm {
namespace {

using namespace std::string_view_literals;

constexpr size_t kOggHeaderBytes = 27;
constexpr size_t kLacing = 255;

// One page of `bytes` bytes in all (at least 28), of stream `serial`; the
// lacing ends every packet within the page.
void PutOggPage(std::span<uint8_t> block, size_t at, size_t bytes, uint8_t type, uint32_t serial,
                uint32_t page_number) {
  size_t segments = 1;
  while ((bytes - kOggHeaderBytes - segments) / kLacing + 1 != segments) ++segments;
  size_t body = bytes - kOggHeaderBytes - segments;
  PutText(block, at, "OggS\x00"sv);
  PutU8(block, at + 5, type);
  PutU64(block, at + 6, 0);
  PutU32(block, at + 14, serial);
  PutU32(block, at + 18, page_number);
  PutU32(block, at + 22, 0);
  PutU8(block, at + 26, static_cast<uint8_t>(segments));
  for (size_t segment = 0; segment < segments; ++segment) {
    const size_t lacing = body < kLacing ? body : kLacing;
    PutU8(block, at + kOggHeaderBytes + segment, static_cast<uint8_t>(lacing));
    body -= lacing;
  }
}

}  // namespace

// A stream's first page and one more that fills the block: it never reaches
// its last page, and the next block's first page starts a stream of its own.
void OggPages(std::span<uint8_t> block, const StormPlace& place) {
  constexpr size_t kFirstPageBytes = 128;
  const auto serial = static_cast<uint32_t>(place.offset / place.block_bytes);
  PutOggPage(block, 0, kFirstPageBytes, 0x02, serial, 0);
  PutOggPage(block, kFirstPageBytes, block.size() - kFirstPageBytes, 0x00, serial, 1);
}

void AiffDeclared(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "FORM"sv);
  PutBe32(block, 4, Clamp32(ReachFrom(place), 0xFFFFFFF0) - 8);
  PutText(block, 8, "AIFFCOMM"sv);
  PutBe32(block, 16, 18);
}

void SunAudioDeclared(std::span<uint8_t> block, const StormPlace& place) {
  constexpr uint32_t kDataOffset = 24;
  PutText(block, 0, ".snd"sv);
  PutBe32(block, 4, kDataOffset);
  PutBe32(block, 8, Clamp32(ReachFrom(place), 0xFFFFFFF0) - kDataOffset);
  PutBe32(block, 12, 3);  // 16-bit samples
  PutBe32(block, 16, 8000);
  PutBe32(block, 20, 1);
}

void Wave64Declared(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00"sv);
  PutU64(block, 16, ReachFrom(place));
  PutText(block, 24, "wave\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A"sv);
}

// One block of no samples fills the block, so the next block's first one
// follows it: a chain through the whole image.
void WavPackBlocks(std::span<uint8_t> block, const StormPlace&) {
  PutText(block, 0, "wvpk"sv);
  PutU32(block, 4, static_cast<uint32_t>(block.size() - 8));
  PutU16(block, 8, 0x410);
  PutU16(block, 10, 0);
  PutU32(block, 12, 0xFFFFFFFF);
  PutU32(block, 16, 0);
  PutU32(block, 20, 0);
}

// The sound chunk's length runs to the reach end.
void CafFarData(std::span<uint8_t> block, const StormPlace& place) {
  constexpr uint64_t kDataStart = 8 + 12 + 32 + 12;
  PutText(block, 0,
          "caff\x00\x01\x00\x00"
          "desc\x00\x00\x00\x00\x00\x00\x00\x20"sv);
  PutText(block, 52, "data"sv);
  const uint64_t reach = ReachFrom(place);
  const uint64_t length = reach > kDataStart ? reach - kDataStart : 0;
  PutBe32(block, 56, static_cast<uint32_t>(length >> 32));
  PutBe32(block, 60, static_cast<uint32_t>(length));
}

// A frame short enough for the next one to show in the first sector, then
// longer ones that start at no other sector of the block, the last running
// into the next block: one header a block, as in the other storms.
void AdtsFrames(std::span<uint8_t> block, const StormPlace&) {
  constexpr size_t kFirstFrameBytes = 300;
  constexpr size_t kFrameBytes = 700;
  // MPEG-4, no checksum, low complexity, 44.1 kHz, two channels.
  auto put_frame = [&](size_t at, size_t bytes) {
    PutText(block, at, "\xFF\xF1\x50\x80"sv);
    PutU8(block, at + 4, static_cast<uint8_t>(bytes >> 3));
    PutU8(block, at + 5, static_cast<uint8_t>((bytes & 7) << 5 | 0x1F));
    PutU8(block, at + 6, 0xFC);
  };
  put_frame(0, kFirstFrameBytes);
  for (size_t at = kFirstFrameBytes; at + 7 <= block.size(); at += kFrameBytes) {
    put_frame(at, kFrameBytes);
  }
}

// MPEG-1 Layer III frames of 384 bytes (128 kbit/s at 48 kHz), the first
// holding an encoder's info, as many as fill the block: the walk reads them
// all and stops at the filler after them.
void MpegAudioFrames(std::span<uint8_t> block, const StormPlace&) {
  constexpr size_t kFrameBytes = 384;
  for (size_t at = 0; at + kFrameBytes <= block.size(); at += kFrameBytes) {
    PutText(block, at, "\xFF\xFB\x94\x00"sv);
  }
  PutText(block, 36, "Info"sv);
}

}  // namespace officecarve::testimage::storm
