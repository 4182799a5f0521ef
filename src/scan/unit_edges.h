#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace officecarve {

class SectorSource;

// The first and last bytes of units that searches joined across a claimed
// stretch. A disk of candidates searching far ahead for a pattern crosses the
// same stretches again and again; each crossing needs only a few bytes from
// each side, and reading those units afresh every time cost a read per
// crossing. Direct-mapped, so its memory is fixed whatever the disk holds.
class UnitEdges {
 public:
  // Enough for every pattern searched for ("startxref" is the longest);
  // longer edges are read from the unit each time. Small slots keep the
  // memory a scan touches small.
  static constexpr size_t kEdgeBytes = 8;
  static constexpr size_t kSlots = size_t{1} << 14;

  // The unit's first or last `count` bytes, or nothing when it cannot be
  // read. Valid until the next call.
  std::span<const uint8_t> Head(SectorSource& source, int64_t unit, uint32_t unit_bytes,
                                size_t count);
  std::span<const uint8_t> Tail(SectorSource& source, int64_t unit, uint32_t unit_bytes,
                                size_t count);

 private:
  struct Slot {
    uint8_t head[kEdgeBytes];
    uint8_t tail[kEdgeBytes];
  };
  // The unit's slot, filled from the source, or null when it cannot be read
  // or its edges do not fit a slot (then `unit_` holds it whole).
  const Slot* Fetch(SectorSource& source, int64_t unit, uint32_t unit_bytes, size_t count);

  // Which unit each slot holds (-1 none), apart from the edges themselves: the
  // edges are left uninitialised, so a scan touches only the pages of the
  // slots it fills.
  std::vector<int64_t> slot_units_;
  std::unique_ptr<Slot[]> slots_;
  std::vector<uint8_t> unit_;
};

}  // namespace officecarve
