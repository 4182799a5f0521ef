#include "scan/unit_edges.h"

#include <cstring>

#include "source/sector_source.h"

namespace officecarve {

const UnitEdges::Slot* UnitEdges::Fetch(SectorSource& source, int64_t unit, uint32_t unit_bytes,
                                        size_t count) {
  const bool fits = count <= kEdgeBytes && unit_bytes >= 2 * kEdgeBytes && unit >= 0;
  Slot* slot = nullptr;
  if (fits) {
    if (!slots_) {
      slots_ = std::make_unique_for_overwrite<Slot[]>(kSlots);
      slot_units_.assign(kSlots, -1);
    }
    const size_t index = static_cast<size_t>(unit) % kSlots;
    slot = &slots_[index];
    if (slot_units_[index] == unit) return slot;
  }
  unit_.resize(unit_bytes);
  if (!source.ReadDirect(unit * int64_t{unit_bytes}, unit_)) {
    unit_.clear();
    return nullptr;
  }
  if (!fits) return nullptr;
  std::memcpy(slot->head, unit_.data(), kEdgeBytes);
  std::memcpy(slot->tail, unit_.data() + unit_bytes - kEdgeBytes, kEdgeBytes);
  slot_units_[static_cast<size_t>(unit) % kSlots] = unit;
  return slot;
}

std::span<const uint8_t> UnitEdges::Head(SectorSource& source, int64_t unit, uint32_t unit_bytes,
                                         size_t count) {
  count = std::min<size_t>(count, unit_bytes);
  const Slot* slot = Fetch(source, unit, unit_bytes, count);
  if (slot != nullptr) return {slot->head, count};
  if (unit_.empty()) return {};
  return std::span<const uint8_t>(unit_).first(count);
}

std::span<const uint8_t> UnitEdges::Tail(SectorSource& source, int64_t unit, uint32_t unit_bytes,
                                         size_t count) {
  count = std::min<size_t>(count, unit_bytes);
  const Slot* slot = Fetch(source, unit, unit_bytes, count);
  if (slot != nullptr) return {slot->tail + kEdgeBytes - count, count};
  if (unit_.empty()) return {};
  return std::span<const uint8_t>(unit_).last(count);
}

}  // namespace officecarve
