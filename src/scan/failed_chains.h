#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "scan/file_kind.h"

namespace officecarve {

// Records (boxes, chunks, local headers, segments) on chains that a carver
// followed from a candidate's header and that failed for reasons of the
// chain itself: they broke or ran out. Candidates are carved last to first,
// so a failed chain is often met again by an earlier candidate whose own
// chain runs into it, and from there on both walk the same records. Without
// this a disk of headers that each lead on to the next costs every candidate
// a walk to the end.
//
// A remembered record holds while its unit is unclaimed: where a chain leads
// from a record depends only on the unclaimed units from that record on, and
// a later call claims the unclaimed units from its own header on in order, so
// any claim it makes past the record takes the record's unit too. Calls that
// claim around unclaimed units, and the pass over nested files, forget
// everything.
class FailedChains {
 public:
  // Past this many records everything is forgotten and starts afresh:
  // memory stays bounded, and the cost is one more walk now and then.
  static constexpr size_t kMostRecords = 1u << 18;

  // The records of one failed chain, in the order it met them.
  void RememberChain(FileKind kind, std::span<const int64_t> record_offsets);
  void Remember(FileKind kind, int64_t record_offset) {
    RememberChain(kind, std::span<const int64_t>(&record_offset, 1));
  }
  bool Holds(FileKind kind, int64_t record_offset) const;
  void Forget();

 private:
  static uint64_t Key(FileKind kind, int64_t record_offset);
  size_t Count() const { return ordered_count_ + used_slots_.size(); }
  // Candidates are taken top down and a chain is walked upwards from its
  // header, so a chain's records mostly lie below all remembered before:
  // those are appended to a list kept in falling order, written once in
  // sequence and searched by halves. Records that do not fit the order go
  // to a hash table, which then stays small.
  bool FitsOrder(std::span<const uint64_t> keys) const;
  void AppendInOrder(std::span<const uint64_t> keys);
  uint64_t OrderedKey(size_t index) const {
    return ordered_blocks_[index / kBlockKeys][index % kBlockKeys];
  }
  bool OrderedHolds(uint64_t key) const;
  void Insert(uint64_t key);
  size_t SlotOf(uint64_t key) const;
  void Grow();

  // Blocks rather than one vector, so the list never moves; they are kept
  // when forgotten, so a scan touches their memory once.
  static constexpr size_t kBlockKeys = 8192;
  std::vector<std::unique_ptr<uint64_t[]>> ordered_blocks_;
  size_t ordered_count_ = 0;

  static constexpr size_t kFirstSlots = 1u << 12;
  std::vector<uint64_t> slots_;  // 0 is empty; allocated on the first need
  std::vector<uint32_t> used_slots_;
  std::vector<uint64_t> keys_;  // a chain's keys while it is remembered
  // Lookups below every record answer without searching.
  int64_t lowest_offset_ = INT64_MAX;
};

}  // namespace officecarve
