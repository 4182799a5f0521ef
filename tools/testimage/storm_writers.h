#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "testimage/little_endian.h"
#include "testimage/storm.h"

// The block writers of the storm table, one per storm, grouped by family.
namespace officecarve::testimage::storm {

inline void PutBe16(std::span<uint8_t> bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value >> 8);
  bytes[offset + 1] = static_cast<uint8_t>(value);
}

inline void PutBe32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * (3 - i)));
}

// Bytes from the block's start to the reach end, the most a declared size
// may say and still end inside the scan range.
inline uint64_t ReachFrom(const StormPlace& place) { return place.reach_end - place.offset; }
// Bytes from the block's start to the image's end.
inline uint64_t RestFrom(const StormPlace& place) { return place.image_end - place.offset; }

inline uint32_t Clamp32(uint64_t value, uint64_t limit) {
  return static_cast<uint32_t>(value < limit ? value : limit);
}

// Pictures.
void JpegEntropy(std::span<uint8_t> block, const StormPlace& place);
void JpegWithoutApp(std::span<uint8_t> block, const StormPlace& place);
void JpegSegmentChain(std::span<uint8_t> block, const StormPlace& place);
void Gif89(std::span<uint8_t> block, const StormPlace& place);
void Gif87(std::span<uint8_t> block, const StormPlace& place);
void Bitmap(std::span<uint8_t> block, const StormPlace& place);
void PngChunkChain(std::span<uint8_t> block, const StormPlace& place);
void PngLongChunks(std::span<uint8_t> block, const StormPlace& place);
void TiffFarDirectory(std::span<uint8_t> block, const StormPlace& place);
void TiffFarStrips(std::span<uint8_t> block, const StormPlace& place);
void X3f(std::span<uint8_t> block, const StormPlace& place);
void Raf(std::span<uint8_t> block, const StormPlace& place);
void Webp(std::span<uint8_t> block, const StormPlace& place);

// Sound and video.
void RiffAvi(std::span<uint8_t> block, const StormPlace& place);
void RiffWave(std::span<uint8_t> block, const StormPlace& place);
void RiffCursor(std::span<uint8_t> block, const StormPlace& place);
void RiffCdxa(std::span<uint8_t> block, const StormPlace& place);
void RiffDrawing(std::span<uint8_t> block, const StormPlace& place);
void AsfDeclared(std::span<uint8_t> block, const StormPlace& place);
void AsfObjectChain(std::span<uint8_t> block, const StormPlace& place);
void AsfFarObject(std::span<uint8_t> block, const StormPlace& place);
void IsoMp4BoxChain(std::span<uint8_t> block, const StormPlace& place);
void Iso3gpBoxChain(std::span<uint8_t> block, const StormPlace& place);
void IsoOtherBoxChain(std::span<uint8_t> block, const StormPlace& place);
void IsoFarBox(std::span<uint8_t> block, const StormPlace& place);
void MpegPacketChain(std::span<uint8_t> block, const StormPlace& place);
void TransportStream(std::span<uint8_t> block, const StormPlace& place);
void BareTransportStream(std::span<uint8_t> block, const StormPlace& place);
void OggPages(std::span<uint8_t> block, const StormPlace& place);
void AiffDeclared(std::span<uint8_t> block, const StormPlace& place);
void SunAudioDeclared(std::span<uint8_t> block, const StormPlace& place);
void Wave64Declared(std::span<uint8_t> block, const StormPlace& place);
void WavPackBlocks(std::span<uint8_t> block, const StormPlace& place);
void CafFarData(std::span<uint8_t> block, const StormPlace& place);
void AdtsFrames(std::span<uint8_t> block, const StormPlace& place);
void MpegAudioFrames(std::span<uint8_t> block, const StormPlace& place);

// Archives, documents and the rest.
void ZipChain(std::span<uint8_t> block, const StormPlace& place);
void ZipDescriptor(std::span<uint8_t> block, const StormPlace& place);
void ZipFarEntry(std::span<uint8_t> block, const StormPlace& place);
void ZippedCdrChain(std::span<uint8_t> block, const StormPlace& place);
void ZippedXmlChain(std::span<uint8_t> block, const StormPlace& place);
void ZippedXmlDescriptor(std::span<uint8_t> block, const StormPlace& place);
void OpenDocumentChain(std::span<uint8_t> block, const StormPlace& place);
void OpenDocumentDescriptor(std::span<uint8_t> block, const StormPlace& place);
void CompoundFarFat(std::span<uint8_t> block, const StormPlace& place);
void CompoundFarDifat(std::span<uint8_t> block, const StormPlace& place);
void Pdf(std::span<uint8_t> block, const StormPlace& place);
void RarBlockChain(std::span<uint8_t> block, const StormPlace& place);
void RarFarBlock(std::span<uint8_t> block, const StormPlace& place);
void Cabinet(std::span<uint8_t> block, const StormPlace& place);
void SevenZip(std::span<uint8_t> block, const StormPlace& place);
void Sqlite(std::span<uint8_t> block, const StormPlace& place);
void Executable(std::span<uint8_t> block, const StormPlace& place);

}  // namespace officecarve::testimage::storm
