#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

namespace officecarve {

// Where `needle` first occurs in `bytes` at or after `from`: the first byte
// is looked for with memchr, which is many times faster than comparing at
// every position.
inline std::optional<uint64_t> FindBytes(std::span<const uint8_t> bytes, uint64_t from,
                                         std::string_view needle) {
  if (needle.empty() || bytes.size() < needle.size()) return std::nullopt;
  const uint64_t last = bytes.size() - needle.size();
  while (from <= last) {
    const void* hit = std::memchr(bytes.data() + from, static_cast<unsigned char>(needle[0]),
                                  static_cast<size_t>(last - from + 1));
    if (hit == nullptr) return std::nullopt;
    const uint64_t at = static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - bytes.data());
    if (std::memcmp(bytes.data() + at, needle.data(), needle.size()) == 0) return at;
    from = at + 1;
  }
  return std::nullopt;
}

}  // namespace officecarve
