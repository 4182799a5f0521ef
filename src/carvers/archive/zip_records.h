#pragma once

#include <cstdint>

namespace officecarve {

class CarverCall;

// The three ZIP records a carver walks from the first local header to the
// end of the central directory. Anything else where a record should begin
// (data descriptors, ZIP64 records, garbage) ends the walk.
inline constexpr uint32_t kZipLocalHeader = 0x04034B50;
inline constexpr uint32_t kZipCentralHeader = 0x02014B50;
inline constexpr uint32_t kZipEndOfCentralDirectory = 0x06054B50;
inline constexpr uint64_t kZipLocalFixedBytes = 30;
inline constexpr uint64_t kZipCentralFixedBytes = 46;
inline constexpr uint64_t kZipEndFixedBytes = 22;

struct ZipRecord {
  uint32_t signature = 0;
  // Fixed part, name, extra field, comment and (for a local header) the
  // compressed data. Computed in 64 bits: hostile fields can make it exceed
  // 32 bits, and a wrapped length would land on a made-up next record.
  uint64_t length = 0;
};

// Holds the record at buffer `position` up to the end of its fixed part and
// reads its signature and length. False when the bytes cannot be held or the
// signature is none of the three.
bool ReadZipRecord(CarverCall& call, uint64_t position, ZipRecord& record);

// For a local header whose fixed part is held at `position`: whether its
// sizes follow the data in a data descriptor (general-purpose flag bit 3),
// and where its data starts.
bool ZipLocalUsesDescriptor(CarverCall& call, uint64_t position);
uint64_t ZipLocalDataStart(CarverCall& call, uint64_t position);

}  // namespace officecarve
