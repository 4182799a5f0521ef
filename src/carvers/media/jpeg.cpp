#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kEndOfImage = 0xD9;
// A segment length counts its own two bytes; anything shorter than one byte
// of payload is taken as noise rather than a picture.
constexpr uint32_t kMinSegmentLength = 3;
// Entropy-coded data is searched for its end marker this far and no further,
// and the header segments may not run past it either: both keep the buffer
// of one picture bounded however the bytes on the disk are laid out.
constexpr uint64_t kMaxSearchBytes = 32ull << 20;

bool FetchUnit(CarverCall& call) {
  return call.ReadUntil(call.Held() + call.Env().bytes_per_sector);
}

// Walks the segments after the start-of-image marker up to the first
// start-of-scan. Returns the position just after the start-of-scan marker
// and its length field, or nothing when the bytes are not a picture.
std::optional<uint64_t> WalkHeaderSegments(CarverCall& call) {
  uint64_t position = 2;
  for (;;) {
    if (call.Held() < position + 4 && (!FetchUnit(call) || call.Held() < position + 4)) {
      return std::nullopt;
    }
    const std::span<const uint8_t> bytes = call.Bytes();
    const uint8_t prefix = bytes[position];
    const uint8_t code = bytes[position + 1];
    const uint32_t length = (uint32_t{bytes[position + 2]} << 8) | bytes[position + 3];
    position += 4;
    if (prefix != kMarkerPrefix) return std::nullopt;
    if (code == kStartOfScan) return position;
    if (length < kMinSegmentLength) return std::nullopt;
    const uint64_t segment_end = position + length - 2;
    if (segment_end > kMaxSearchBytes) return std::nullopt;
    if (!call.ReadUntil(segment_end)) return std::nullopt;
    position = segment_end;
  }
}

// Whether the held bytes from `from` on hold the end-of-image marker (the
// picture then ends in the unit fetched last). A 0xFF keeps the marker open,
// so FF FF D9 ends the picture while FF 00 D9 (a stuffed byte) does not.
bool HoldsEndOfImage(std::span<const uint8_t> bytes, uint64_t from) {
  bool after_prefix = false;
  for (uint64_t index = from; index < bytes.size(); ++index) {
    const uint8_t byte = bytes[index];
    if (after_prefix && byte == kEndOfImage) return true;
    after_prefix = byte == kMarkerPrefix;
  }
  return false;
}

}  // namespace

void CarveJpeg(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  if (header.size() < 3 || header[0] != 0xFF || header[1] != 0xD8 || header[2] != 0xFF) {
    return call.Fail();
  }

  const std::optional<uint64_t> scan_start = WalkHeaderSegments(call);
  if (!scan_start) return call.Fail();
  uint64_t position = *scan_start;
  for (;;) {
    if (HoldsEndOfImage(call.Bytes(), position)) return call.Complete();
    // The last two bytes are searched again with the next unit, so an end
    // marker split across two units is still found.
    position = call.Held() - 2;
    if (position >= kMaxSearchBytes) return call.Fail();
    if (!FetchUnit(call)) return call.Fail();
  }
}

}  // namespace officecarve
