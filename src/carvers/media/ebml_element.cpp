#include "carvers/media/ebml_element.h"

#include <bit>

namespace officecarve {
namespace {

constexpr unsigned kLongestId = 4;
constexpr unsigned kLongestSize = 8;

// The length of the variable-size integer whose first byte is `first`: one
// more than the number of zero bits before its leading 1.
unsigned VintLength(uint8_t first) { return static_cast<unsigned>(std::countl_zero(first)) + 1; }

}  // namespace

std::optional<EbmlElement> ReadEbmlElement(std::span<const uint8_t> bytes, uint64_t at) {
  if (at >= bytes.size()) return std::nullopt;
  const uint64_t available = bytes.size() - at;
  const unsigned id_bytes = VintLength(bytes[at]);
  if (id_bytes > kLongestId || available <= id_bytes) return std::nullopt;
  uint32_t id = 0;
  for (unsigned i = 0; i < id_bytes; ++i) id = id << 8 | bytes[at + i];

  const uint8_t first = bytes[at + id_bytes];
  const unsigned size_bytes = VintLength(first);
  if (size_bytes > kLongestSize || available < id_bytes + size_bytes) return std::nullopt;
  // The length marker is dropped; what is left of the first byte leads.
  const auto data_mask = static_cast<uint8_t>(0xFF >> size_bytes);
  uint64_t size = first & data_mask;
  bool all_ones = size == data_mask;
  for (unsigned i = 1; i < size_bytes; ++i) {
    const uint8_t byte = bytes[at + id_bytes + i];
    size = size << 8 | byte;
    all_ones = all_ones && byte == 0xFF;
  }
  return EbmlElement{id, size, all_ones, static_cast<uint8_t>(id_bytes + size_bytes)};
}

}  // namespace officecarve
