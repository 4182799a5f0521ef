#pragma once

#include <zlib.h>

#include <cstdint>
#include <span>

namespace officecarve {

// The CRC-32 of `bytes` continued from `crc` (0 to start). zlib takes a null
// buffer, as an empty span may have, for a request of the initial value, so
// empty bytes are passed over here.
inline uint32_t Crc32(uint32_t crc, std::span<const uint8_t> bytes) {
  return bytes.empty() ? crc : static_cast<uint32_t>(crc32_z(crc, bytes.data(), bytes.size()));
}

}  // namespace officecarve
