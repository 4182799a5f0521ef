#include "scan/failed_chains.h"

#include <algorithm>

namespace officecarve {

uint64_t FailedChains::Key(FileKind kind, int64_t record_offset) {
  // Offsets on any disk fit in 56 bits; the key is never 0.
  return (static_cast<uint64_t>(record_offset) << 8 | static_cast<uint8_t>(kind)) + 1;
}

size_t FailedChains::SlotOf(uint64_t key) const {
  const size_t mask = slots_.size() - 1;
  size_t slot = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 40) & mask;
  while (slots_[slot] != 0 && slots_[slot] != key) slot = (slot + 1) & mask;
  return slot;
}

void FailedChains::Grow() {
  std::vector<uint64_t> keys;
  keys.reserve(used_slots_.size());
  for (const uint32_t slot : used_slots_) keys.push_back(slots_[slot]);
  slots_.assign(slots_.size() * 2, 0);
  used_slots_.clear();
  for (const uint64_t key : keys) {
    const size_t slot = SlotOf(key);
    slots_[slot] = key;
    used_slots_.push_back(static_cast<uint32_t>(slot));
  }
}

void FailedChains::Remember(FileKind kind, int64_t record_offset) {
  if (record_offset < 0) return;
  if (slots_.empty()) slots_.assign(kFirstSlots, 0);
  // Kept at most half full: most lookups find nothing, and a miss in a
  // fuller table walks long runs of taken slots.
  if (used_slots_.size() >= slots_.size() / 2) {
    if (slots_.size() < kSlots) {
      Grow();
    } else {
      Forget();
    }
  }
  lowest_offset_ = std::min(lowest_offset_, record_offset);
  const uint64_t key = Key(kind, record_offset);
  const size_t slot = SlotOf(key);
  if (slots_[slot] == key) return;
  slots_[slot] = key;
  used_slots_.push_back(static_cast<uint32_t>(slot));
}

bool FailedChains::Holds(FileKind kind, int64_t record_offset) const {
  if (record_offset < lowest_offset_) return false;
  const uint64_t key = Key(kind, record_offset);
  return slots_[SlotOf(key)] == key;
}

void FailedChains::Forget() {
  // Most scans forget a handful; clearing only those keeps that cheap.
  for (const uint32_t slot : used_slots_) slots_[slot] = 0;
  used_slots_.clear();
  lowest_offset_ = INT64_MAX;
}

}  // namespace officecarve
