#pragma once

#include <cstdint>
#include <span>

namespace officecarve {

// Little-endian fields of a held buffer; callers check the bounds first.
inline uint16_t Le16At(std::span<const uint8_t> bytes, uint64_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline uint32_t Le32At(std::span<const uint8_t> bytes, uint64_t at) {
  return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<uint32_t>(bytes[at + 2]) << 16) |
         (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

}  // namespace officecarve
