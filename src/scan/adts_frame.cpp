#include "scan/adts_frame.h"

namespace officecarve {

std::optional<AdtsFrame> ReadAdtsFrame(std::span<const uint8_t> bytes, uint64_t at) {
  if (at > bytes.size() || bytes.size() - at < kAdtsHeaderBytes) return std::nullopt;
  const std::span<const uint8_t> header = bytes.subspan(at, kAdtsHeaderBytes);
  constexpr uint8_t kLayerBits = 0x06;
  constexpr uint8_t kNoChecksum = 0x01;
  constexpr uint8_t kLastSampleRate = 12;
  if (header[0] != 0xFF || (header[1] & 0xF0) != 0xF0 || (header[1] & kLayerBits) != 0) {
    return std::nullopt;
  }
  const uint8_t sample_rate = (header[2] >> 2) & 0x0F;
  if (sample_rate > kLastSampleRate) return std::nullopt;
  AdtsFrame frame;
  // Version, profile, sample rate and channels: what stays the same for a
  // whole stream.
  frame.fixed = static_cast<uint32_t>((header[1] & 0x09) << 16 | (header[2] & 0xFD) << 8 |
                                      (header[3] & 0xC0));
  frame.bytes = static_cast<uint32_t>((header[3] & 0x03) << 11 | header[4] << 3 | header[5] >> 5);
  const uint32_t header_bytes = (header[1] & kNoChecksum) != 0 ? 7 : 9;
  if (frame.bytes <= header_bytes) return std::nullopt;
  return frame;
}

}  // namespace officecarve
