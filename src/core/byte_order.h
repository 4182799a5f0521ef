#pragma once

#include <cstdint>
#include <span>

namespace officecarve {

// Fields of a held buffer in either byte order; callers check the bounds
// first. Assembled byte by byte, so any alignment and any host will do.
inline uint16_t Le16At(std::span<const uint8_t> bytes, uint64_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline uint32_t Le32At(std::span<const uint8_t> bytes, uint64_t at) {
  return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<uint32_t>(bytes[at + 2]) << 16) |
         (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

inline uint64_t Le64At(std::span<const uint8_t> bytes, uint64_t at) {
  return uint64_t{Le32At(bytes, at)} | (uint64_t{Le32At(bytes, at + 4)} << 32);
}

inline uint16_t Be16At(std::span<const uint8_t> bytes, uint64_t at) {
  return static_cast<uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

inline uint32_t Be32At(std::span<const uint8_t> bytes, uint64_t at) {
  return (static_cast<uint32_t>(bytes[at]) << 24) | (static_cast<uint32_t>(bytes[at + 1]) << 16) |
         (static_cast<uint32_t>(bytes[at + 2]) << 8) | static_cast<uint32_t>(bytes[at + 3]);
}

inline uint64_t Be64At(std::span<const uint8_t> bytes, uint64_t at) {
  return (uint64_t{Be32At(bytes, at)} << 32) | uint64_t{Be32At(bytes, at + 4)};
}

}  // namespace officecarve
