#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace officecarve {

// Two gaps inside an entry stored without compression, which only the
// entry's CRC-32 can place. The CRC-32 of a layout is the XOR of each
// stretch's CRC-32 carried to the end of the data, so for every shift of the
// middle fragment the two split points are found by one pass and a lookup,
// not by trying every pair.
struct TwoStoredGaps {
  uint64_t first = 0;   // package byte where the first gap begins
  uint64_t middle = 0;  // the shift between the two gaps
  uint64_t second = 0;  // package byte where the second begins
};

struct StoredData {
  std::span<const uint8_t> stream;
  uint64_t start = 0;  // package bytes [start, end)
  uint64_t end = 0;
  uint32_t crc = 0;
  uint64_t unit = 512;
};

// Every layout, up to `max_found`, whose first gap begins at or after `low`
// and whose shift goes from `before` through a middle shift to `after`,
// each fragment holding at least a unit. Work is charged to `work_left`.
std::vector<TwoStoredGaps> FindTwoStoredGaps(const StoredData& data, uint64_t before,
                                             uint64_t after, uint64_t low, size_t max_found,
                                             uint64_t& work_left);

// For bytes that were placed by their CRC-32 alone: false when they start
// like a PNG whose image data does not unpack, or like a JPEG whose markers
// break. Other content cannot be checked further and holds.
bool PictureSyntaxHolds(std::span<const uint8_t> bytes);

}  // namespace officecarve
