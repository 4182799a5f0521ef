#pragma once

#include <cstdint>
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
  // A full table is forgotten and starts afresh: memory stays bounded, and
  // the cost is one more walk now and then.
  static constexpr size_t kSlots = 1u << 19;
  // The table starts this small and doubles as it fills, so a scan that
  // remembers little touches little memory.
  static constexpr size_t kFirstSlots = 1u << 12;

  void Remember(FileKind kind, int64_t record_offset);
  bool Holds(FileKind kind, int64_t record_offset) const;
  void Forget();

 private:
  static uint64_t Key(FileKind kind, int64_t record_offset);
  size_t SlotOf(uint64_t key) const;
  void Grow();

  std::vector<uint64_t> slots_;  // 0 is empty; allocated on the first failure
  std::vector<uint32_t> used_slots_;
  // Chains are walked upwards from headers taken top down, so most of a
  // chain's records lie below everything remembered: those lookups need not
  // touch the table.
  int64_t lowest_offset_ = INT64_MAX;
};

}  // namespace officecarve
