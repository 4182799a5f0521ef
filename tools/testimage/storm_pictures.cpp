// Storm blocks of the picture kinds.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "testimage/storm_writers.h"

namespace officecarve::testimage::storm {
namespace {

using namespace std::string_view_literals;

// The segments of a baseline picture's header up to and including its
// start-of-scan: quantisation table, frame, Huffman table, scan. Written at
// `at`; returns where the entropy-coded bytes begin. No table value is 0xFF,
// so the picture holds no marker past its header.
size_t PutPictureSegments(std::span<uint8_t> block, size_t at) {
  PutText(block, at, "\xFF\xDB\x00\x43\x00"sv);
  at += 5;
  for (size_t i = 0; i < 64; ++i) block[at + i] = 1;
  at += 64;
  PutText(block, at, "\xFF\xC0\x00\x0B\x08\x00\x10\x00\x10\x01\x01\x11\x00"sv);
  at += 13;
  // One code of length 1 for symbol 0.
  PutText(block, at, "\xFF\xC4\x00\x14\x00\x01"sv);
  at += 6;
  for (size_t i = 0; i < 15; ++i) block[at + i] = 0;
  block[at + 15] = 0;
  at += 16;
  PutText(block, at, "\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00"sv);
  return at + 10;
}

constexpr std::string_view kJfifSegment =
    "\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"sv;

void PutGif(std::span<uint8_t> block, std::string_view signature) {
  PutText(block, 0, signature);
  // A 1 x 1 screen with a global table of two colours, then one image whose
  // data sub-blocks run on through the filler: every filler byte is a
  // non-zero length, so the chain never reaches its terminator.
  PutText(block, 6, "\x01\x00\x01\x00\x80\x00\x00"sv);
  PutText(block, 13, "\x00\x00\x00\x7F\x7F\x7F"sv);
  PutText(block, 19, "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02"sv);
}

// Signature and a 1 x 1 truecolour header chunk (its checksum is not
// checked for a known chunk); the next chunk starts at 33.
constexpr size_t kPngFirstChunk = 33;
void PutPngHeader(std::span<uint8_t> block) {
  PutText(block, 0, "\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR"sv);
  PutText(block, 16, "\x00\x00\x00\x01\x00\x00\x00\x01\x08\x02\x00\x00\x00"sv);
  PutBe32(block, 29, 0x907753DE);
}

// A data chunk at the first chunk's place whose end is `blocks` blocks
// later at the same place, where the next block's data chunk begins.
void PutPngDataChunk(std::span<uint8_t> block, uint64_t blocks, uint32_t block_bytes) {
  PutBe32(block, kPngFirstChunk, static_cast<uint32_t>(blocks * block_bytes - 12));
  PutText(block, kPngFirstChunk + 4, "IDAT"sv);
}

}  // namespace

void JpegEntropy(std::span<uint8_t> block, const StormPlace&) {
  PutText(block, 0, "\xFF\xD8"sv);
  PutText(block, 2, kJfifSegment);
  PutPictureSegments(block, 2 + kJfifSegment.size());
}

void JpegWithoutApp(std::span<uint8_t> block, const StormPlace&) {
  PutText(block, 0, "\xFF\xD8"sv);
  PutPictureSegments(block, 2);
}

// An Exif segment that ends where the next block's Exif segment starts: the
// header walk never meets a start-of-scan.
void JpegSegmentChain(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "\xFF\xD8\xFF\xE1"sv);
  PutBe16(block, 4, static_cast<uint16_t>(place.block_bytes - 2));
  PutText(block, 6, "Exif\x00\x00"sv);
}

void Gif89(std::span<uint8_t> block, const StormPlace&) { PutGif(block, "GIF89a"sv); }
void Gif87(std::span<uint8_t> block, const StormPlace&) { PutGif(block, "GIF87a"sv); }

void Bitmap(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "BM"sv);
  PutU32(block, 2, Clamp32(ReachFrom(place), 100u << 20));
  PutU32(block, 6, 0);
  PutU32(block, 10, 54);
  PutU32(block, 14, 40);
  PutU32(block, 18, 1024);
  PutU32(block, 22, 1024);
  PutU16(block, 26, 1);
  PutU16(block, 28, 24);
  PutU32(block, 30, 0);
}

// Data chunks of one block each, so the walk reads a unit or two of every
// block to the end of the range.
void PngChunkChain(std::span<uint8_t> block, const StormPlace& place) {
  PutPngHeader(block);
  PutPngDataChunk(block, 1, place.block_bytes);
}

// Data chunks as long as a chunk may be, claimed without being read.
void PngLongChunks(std::span<uint8_t> block, const StormPlace& place) {
  constexpr uint64_t kLongestChunk = 1'000'000 - 4;
  PutPngHeader(block);
  PutPngDataChunk(block, (kLongestChunk + 12) / place.block_bytes, place.block_bytes);
}

// The first directory just beyond the image's end (and below the format's
// bound): everything up to the range end is read before the walk fails.
void TiffFarDirectory(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "II\x2A\x00"sv);
  PutU32(block, 4, Clamp32(RestFrom(place) + 8, (200u << 20) - 16));
}

// A well-formed directory of one strip whose data ends beyond the image.
void TiffFarStrips(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "II\x2A\x00\x08\x00\x00\x00"sv);
  PutU16(block, 8, 2);
  PutU16(block, 10, 273);  // strip offsets, one long
  PutU16(block, 12, 4);
  PutU32(block, 14, 1);
  PutU32(block, 18, Clamp32(RestFrom(place) - 8, (200u << 20) - 32));
  PutU16(block, 22, 279);  // strip byte counts, one long
  PutU16(block, 24, 4);
  PutU32(block, 26, 1);
  PutU32(block, 30, 16);
  PutU32(block, 34, 0);
}

// No section directory anywhere: the search runs to the range end.
void X3f(std::span<uint8_t> block, const StormPlace&) {
  PutText(block, 0, "FOVb\x02\x00\x02\x00"sv);
}

void Raf(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "FUJIFILMCCD-RAW 0201FF383501"sv);
  PutBe32(block, 84, 256);
  PutBe32(block, 88, 0);
  PutBe32(block, 100, 256);
  PutBe32(block, 104, Clamp32(ReachFrom(place) - 256, (200u << 20) - 256));
}

// A lossy picture whose declared size runs to the reach end.
void Webp(std::span<uint8_t> block, const StormPlace& place) {
  const uint32_t length = Clamp32(ReachFrom(place), 256u << 20);
  PutText(block, 0, "RIFF"sv);
  PutU32(block, 4, length - 8);
  PutText(block, 8, "WEBPVP8 "sv);
  PutU32(block, 16, length - 20);
  PutText(block, 20, "\x10\x02\x00\x9D\x01\x2A\x00\x04\x00\x04"sv);
}

}  // namespace officecarve::testimage::storm
