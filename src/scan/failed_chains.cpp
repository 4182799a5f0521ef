#include "scan/failed_chains.h"

#include <algorithm>
#include <functional>

namespace officecarve {

uint64_t FailedChains::Key(FileKind kind, int64_t record_offset) {
  // Offsets on any disk fit in 56 bits; the key is never 0 and rises with
  // the offset.
  return (static_cast<uint64_t>(record_offset) << 8 | static_cast<uint8_t>(kind)) + 1;
}

void FailedChains::RememberChain(FileKind kind, std::span<const int64_t> record_offsets) {
  keys_.clear();
  int64_t lowest = INT64_MAX;
  for (const int64_t offset : record_offsets) {
    if (offset < 0) continue;
    keys_.push_back(Key(kind, offset));
    lowest = std::min(lowest, offset);
  }
  std::span<const uint64_t> left(keys_);
  while (!left.empty()) {
    if (Count() >= kMostRecords) Forget();
    const std::span<const uint64_t> piece =
        left.first(std::min(left.size(), kMostRecords - Count()));
    left = left.subspan(piece.size());
    if (FitsOrder(piece)) {
      AppendInOrder(piece);
    } else {
      for (const uint64_t key : piece) Insert(key);
    }
  }
  // Only now: a Forget on the way started the lowest afresh.
  lowest_offset_ = std::min(lowest_offset_, lowest);
}

bool FailedChains::FitsOrder(std::span<const uint64_t> keys) const {
  const bool rising =
      std::adjacent_find(keys.begin(), keys.end(), std::greater_equal<>()) == keys.end();
  return rising && (ordered_count_ == 0 || keys.back() < OrderedKey(ordered_count_ - 1));
}

void FailedChains::AppendInOrder(std::span<const uint64_t> keys) {
  for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
    const size_t block = ordered_count_ / kBlockKeys;
    if (block == ordered_blocks_.size()) {
      ordered_blocks_.push_back(std::make_unique_for_overwrite<uint64_t[]>(kBlockKeys));
    }
    ordered_blocks_[block][ordered_count_ % kBlockKeys] = *key;
    ++ordered_count_;
  }
}

bool FailedChains::OrderedHolds(uint64_t key) const {
  if (ordered_count_ == 0 || key < OrderedKey(ordered_count_ - 1) || key > OrderedKey(0)) {
    return false;
  }
  // The first index whose key is no greater than `key`.
  size_t low = 0;
  size_t high = ordered_count_;
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    if (OrderedKey(middle) > key) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low < ordered_count_ && OrderedKey(low) == key;
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

void FailedChains::Insert(uint64_t key) {
  if (OrderedHolds(key)) return;
  if (slots_.empty()) slots_.assign(kFirstSlots, 0);
  // Kept at most half full: most lookups find nothing, and a miss in a
  // fuller table walks long runs of taken slots.
  if (used_slots_.size() >= slots_.size() / 2) Grow();
  const size_t slot = SlotOf(key);
  if (slots_[slot] == key) return;
  slots_[slot] = key;
  used_slots_.push_back(static_cast<uint32_t>(slot));
}

bool FailedChains::Holds(FileKind kind, int64_t record_offset) const {
  if (record_offset < lowest_offset_) return false;
  const uint64_t key = Key(kind, record_offset);
  if (OrderedHolds(key)) return true;
  return !used_slots_.empty() && slots_[SlotOf(key)] == key;
}

void FailedChains::Forget() {
  ordered_count_ = 0;
  // Most scans forget a handful; clearing only those keeps that cheap.
  for (const uint32_t slot : used_slots_) slots_[slot] = 0;
  used_slots_.clear();
  lowest_offset_ = INT64_MAX;
}

}  // namespace officecarve
