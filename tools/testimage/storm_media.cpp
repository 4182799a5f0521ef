// Storm blocks of the sound and video kinds.
#include <cstdint>
#include <span>
#include <string_view>

#include "testimage/storm_writers.h"

namespace officecarve::testimage::storm {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kAsfHeaderObject =
    "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv;
constexpr std::string_view kAsfFileProperties =
    "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65"sv;
constexpr std::string_view kAsfStreamProperties =
    "\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65"sv;

// A RIFF file of the given form whose declared size runs to the reach end.
void PutRiff(std::span<uint8_t> block, const StormPlace& place, std::string_view form,
             uint64_t limit) {
  PutText(block, 0, "RIFF"sv);
  PutU32(block, 4, Clamp32(ReachFrom(place), limit) - 8);
  PutText(block, 8, form);
}

// A header object of `size` bytes that does not start with the file
// properties (so no size of the whole file is at hand).
void PutAsfHeaderObject(std::span<uint8_t> block, uint64_t size) {
  PutText(block, 0, kAsfHeaderObject);
  PutU64(block, 16, size);
  PutU32(block, 24, 2);
  PutText(block, 28, "\x01\x02"sv);
  PutText(block, 30, kAsfStreamProperties);
  PutU64(block, 46, 120);
}

// A file type box of 24 bytes, then a box of `size` bytes at 24.
void PutIsoBoxes(std::span<uint8_t> block, std::string_view brand, std::string_view box,
                 uint32_t size) {
  PutBe32(block, 0, 24);
  PutText(block, 4, "ftyp"sv);
  PutText(block, 8, brand);
  PutBe32(block, 12, 0);
  PutText(block, 16, "isommp41"sv);
  PutBe32(block, 24, size);
  PutText(block, 28, box);
}

}  // namespace

void RiffAvi(std::span<uint8_t> block, const StormPlace& place) {
  PutRiff(block, place, "AVI LIST"sv, 0xFFFFFFF0);
}
void RiffWave(std::span<uint8_t> block, const StormPlace& place) {
  PutRiff(block, place, "WAVEfmt "sv, 0xFFFFFFF0);
}
void RiffCursor(std::span<uint8_t> block, const StormPlace& place) {
  PutRiff(block, place, "ACONanih"sv, 0xFFFFFFF0);
}
void RiffCdxa(std::span<uint8_t> block, const StormPlace& place) {
  PutRiff(block, place, "CDXAfmt "sv, 0xFFFFFFF0);
}
// A drawing is read unit by unit up to its declared size.
void RiffDrawing(std::span<uint8_t> block, const StormPlace& place) {
  PutRiff(block, place, "CDR9vrsn"sv, 1'048'576'000);
}

void AsfDeclared(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, kAsfHeaderObject);
  PutU64(block, 16, 4096);
  PutU32(block, 24, 6);
  PutText(block, 28, "\x01\x02"sv);
  PutText(block, 30, kAsfFileProperties);
  PutU64(block, 46, 104);
  PutText(block, 54, "storm-file-ident"sv);
  PutU64(block, 70, ReachFrom(place));
}

// Header objects one block long: each next object is the next block's
// header object, a top-level object that is not the data object.
void AsfObjectChain(std::span<uint8_t> block, const StormPlace& place) {
  PutAsfHeaderObject(block, place.block_bytes);
}

// A header object that ends beyond the image, passed unit by unit.
void AsfFarObject(std::span<uint8_t> block, const StormPlace& place) {
  PutAsfHeaderObject(block, RestFrom(place) + place.block_bytes);
}

// Free boxes one block long: each next box is the next block's free box.
void IsoMp4BoxChain(std::span<uint8_t> block, const StormPlace& place) {
  PutIsoBoxes(block, "mp42"sv, "free"sv, place.block_bytes);
}
void Iso3gpBoxChain(std::span<uint8_t> block, const StormPlace& place) {
  PutIsoBoxes(block, "3gp4"sv, "free"sv, place.block_bytes);
}
void IsoOtherBoxChain(std::span<uint8_t> block, const StormPlace& place) {
  PutIsoBoxes(block, "qt  "sv, "free"sv, place.block_bytes);
}
// A media data box that ends beyond the image, claimed unit by unit.
void IsoFarBox(std::span<uint8_t> block, const StormPlace& place) {
  PutIsoBoxes(block, "mp42"sv, "mdat"sv, Clamp32(RestFrom(place) + place.block_bytes, 0xFFFFFFFF));
}

// An MPEG-1 pack (clock 0) and a video packet that ends where the next
// block's packet starts, so the walk never meets another pack header and
// never checks a clock. The image's last packet leads to an MPEG-2 pack
// header, on which every walk fails after reading the whole rest.
void MpegPacketChain(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "\x00\x00\x01\xBA\x21\x00\x01\x00\x01\x80\x00\x01"sv);
  PutText(block, 12, "\x00\x00\x01\xE0"sv);
  if (!place.last) {
    PutBe16(block, 16, static_cast<uint16_t>(place.block_bytes - 6));
    return;
  }
  PutBe16(block, 16, 58);
  PutText(block, 76, "\x00\x00\x01\xBA\x44\x00\x04\x00\x04\x01"sv);
}

// 192-byte packets from the block's start, arrival times 0, 1000, 2000, ...
// The packet grid of one block does not continue into the next.
void TransportStream(std::span<uint8_t> block, const StormPlace&) {
  uint32_t time = 0;
  for (size_t at = 0; at < block.size(); at += 192, time += 1000) {
    if (at + 4 <= block.size()) PutBe32(block, at, time);
    if (at + 8 <= block.size()) PutText(block, at + 4, "\x47\x01\x00\x10"sv);
  }
}

// Bare packets to the block's end: the next expected packet lies inside the
// next block's first one, which holds no sync byte there.
void BareTransportStream(std::span<uint8_t> block, const StormPlace&) {
  for (size_t at = 0; at + 4 <= block.size(); at += 188) PutText(block, at, "\x47\x01\x00\x10"sv);
}

}  // namespace officecarve::testimage::storm
