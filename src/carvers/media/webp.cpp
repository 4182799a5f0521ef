#include <cstdint>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

// "RIFF", the size of everything after this field, "WEBP", then the first
// chunk: its four-character type, its size and its data.
constexpr std::string_view kRiffMagic = "RIFF";
constexpr std::string_view kWebpForm = "WEBP";
constexpr size_t kRiffSizeOffset = 4;
constexpr size_t kFormOffset = 8;
constexpr size_t kChunkTypeOffset = 12;
constexpr size_t kChunkSizeOffset = 16;
constexpr size_t kChunkDataOffset = 20;
constexpr uint64_t kRiffHeaderBytes = 8;

// A lossy picture's key frame: a three-byte frame tag whose lowest bit is 0,
// then a fixed start code.
constexpr std::string_view kLossyChunk = "VP8 ";
constexpr std::string_view kKeyFrameStartCode = "\x9D\x01\x2A";
constexpr uint32_t kMinLossyChunkBytes = 10;
// A lossless picture: a signature byte, then 14-bit width and height, the
// alpha bit and a 3-bit version that is always 0.
constexpr std::string_view kLosslessChunk = "VP8L";
constexpr uint8_t kLosslessSignature = 0x2F;
constexpr uint32_t kMinLosslessChunkBytes = 5;
// The extended form (alpha, animation, metadata): flags, three reserved
// bytes, then the canvas width and height less one, 24 bits each.
constexpr std::string_view kExtendedChunk = "VP8X";
constexpr uint32_t kExtendedChunkBytes = 10;
constexpr uint64_t kMaxCanvasPixels = 0xFFFFFFFF;

// Web pictures and animations are a few MiB at most; a declared size past
// this comes from a damaged header (or noise that happens to start "RIFF").
constexpr uint64_t kMaxWebpBytes = 256ull << 20;

uint32_t Le24At(std::span<const uint8_t> bytes, size_t at) {
  return bytes[at] | (uint32_t{bytes[at + 1]} << 8) | (uint32_t{bytes[at + 2]} << 16);
}

// The first chunk is one of the three a picture starts with, and its own
// opening bytes are what that kind of picture holds.
bool StartsLikeAPicture(std::span<const uint8_t> header) {
  const uint32_t chunk_bytes = Le32At(header, kChunkSizeOffset);
  const std::span<const uint8_t> data = header.subspan(kChunkDataOffset);
  if (HeaderHas(header, kChunkTypeOffset, kLossyChunk)) {
    return chunk_bytes >= kMinLossyChunkBytes && (data[0] & 1) == 0 &&
           HeaderHas(data, 3, kKeyFrameStartCode);
  }
  if (HeaderHas(header, kChunkTypeOffset, kLosslessChunk)) {
    return chunk_bytes >= kMinLosslessChunkBytes && data[0] == kLosslessSignature &&
           (data[4] >> 5) == 0;
  }
  if (HeaderHas(header, kChunkTypeOffset, kExtendedChunk)) {
    const uint64_t width = uint64_t{Le24At(data, 4)} + 1;
    const uint64_t height = uint64_t{Le24At(data, 7)} + 1;
    return chunk_bytes == kExtendedChunkBytes && width * height <= kMaxCanvasPixels;
  }
  return false;
}

}  // namespace

void CarveWebp(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  if (!HeaderHas(header, 0, kRiffMagic) || !HeaderHas(header, kFormOffset, kWebpForm) ||
      !StartsLikeAPicture(header)) {
    return call.Fail();
  }
  // In 64 bits: unlike the older RIFF kinds, a size near 4 GiB must not wrap
  // to a small file.
  const uint64_t length = uint64_t{Le32At(header, kRiffSizeOffset)} + kRiffHeaderBytes;
  const uint64_t first_chunk_end = kChunkDataOffset + uint64_t{Le32At(header, kChunkSizeOffset)};
  if (first_chunk_end > length || length > kMaxWebpBytes || !FitsScanRange(call, length)) {
    return call.Fail();
  }
  ClaimDeclaredLength(call, length);
}

}  // namespace officecarve
