#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace officecarve {

// The header of an EBML element (Matroska, WebM): its ID, kept with its
// length marker as the format writes IDs (1 to 4 bytes), and its data size
// (1 to 8 bytes).
struct EbmlElement {
  static constexpr uint64_t kLongestHeader = 12;

  uint32_t id;
  uint64_t size;      // meaningless when unknown_size
  bool unknown_size;  // every data bit of the size set: the element runs on
  uint8_t header_bytes;
};

// The element header at `at`, read from the bytes held there; nothing when
// they are fewer than the header needs or its ID or size is malformed.
std::optional<EbmlElement> ReadEbmlElement(std::span<const uint8_t> bytes, uint64_t at);

}  // namespace officecarve
