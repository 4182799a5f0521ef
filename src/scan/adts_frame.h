#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace officecarve {

// The header of an ADTS frame (raw AAC): its sync word, layer 0 and a
// sample rate the format defines.
inline constexpr uint64_t kAdtsHeaderBytes = 7;

struct AdtsFrame {
  uint32_t fixed = 0;  // the fields every frame of a stream repeats
  uint32_t bytes = 0;  // the whole frame, header included
};

// The frame whose header starts at `at`, or nothing when the bytes there are
// none (or are not all held).
std::optional<AdtsFrame> ReadAdtsFrame(std::span<const uint8_t> bytes, uint64_t at);

}  // namespace officecarve
