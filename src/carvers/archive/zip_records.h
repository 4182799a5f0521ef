#pragma once

#include <cstdint>
#include <span>
#include <vector>

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

// Whether the local header a walk started at is where its archive starts.
// The central directory gives every entry's local header offset from the
// archive's start, so a walk that began at a record inside an archive (one
// entry in 512 starts exactly at a sector) finds its own entry listed at a
// non-zero offset. Such a walk is not the start of anything; the candidate
// that is finds the same directory and carves the archive whole.
class ZipStartCheck {
 public:
  // Holds the name of the local header at the start of the call's buffer
  // (where the walk starts) and remembers it. False when it cannot be held.
  bool ReadFirstLocalName(CarverCall& call);
  // A central directory header held at buffer `position`.
  void SeeCentralHeader(std::span<const uint8_t> bytes, uint64_t position);
  // True when the directory lists the first entry only at other offsets.
  bool StartedInside() const { return listed_elsewhere_ && !listed_at_start_; }

 private:
  std::vector<uint8_t> first_name_;
  bool listed_at_start_ = false;
  bool listed_elsewhere_ = false;
};

}  // namespace officecarve
