#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace officecarve::testimage {

// Writers for the little-endian fields of boot sectors and file headers. The
// caller sizes the buffer; these assume the field fits.
inline void PutU8(std::span<uint8_t> bytes, size_t offset, uint8_t value) { bytes[offset] = value; }

inline void PutU16(std::span<uint8_t> bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void PutU32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void PutU64(std::span<uint8_t> bytes, size_t offset, uint64_t value) {
  for (size_t i = 0; i < 8; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void PutText(std::span<uint8_t> bytes, size_t offset, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) bytes[offset + i] = static_cast<uint8_t>(text[i]);
}

inline uint32_t GetU32(std::span<const uint8_t> bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
  return value;
}

}  // namespace officecarve::testimage
