#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace officecarve {

// Where `needle` first occurs in `bytes` at or after `from`. Many starts at
// a time are kept only where both the needle's first and last bytes match:
// looking for the first byte alone stops every few bytes on text, where a
// keyword's first letter is common.
std::optional<uint64_t> FindBytes(std::span<const uint8_t> bytes, uint64_t from,
                                  std::string_view needle);

}  // namespace officecarve
