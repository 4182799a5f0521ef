#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace officecarve {

// The records a nesting test found walking an outer file's header from its
// start, kept for the few outer files the next candidates down ask about
// again: each candidate asks about the few files just below it, so without
// this every header is walked once for each candidate above it. What a walk
// finds depends only on the source's bytes, which do not change in a scan.
// Only the picture nesting test keeps walks here: another test would need a
// set of its own, as the records it walks are not these.
struct HeaderWalk {
  struct Record {
    int64_t start = 0;
    int64_t end = 0;
  };
  int64_t outer = -1;
  bool started = false;  // the file's start was read and checked
  bool ended = false;    // the walk can go no further (a bad record, the cap)
  int64_t next = 0;      // where the record after the last one kept starts
  std::vector<Record> records;
};

class HeaderWalks {
 public:
  // The walk of the file at `outer`: as far as it went, or a new one.
  HeaderWalk& For(int64_t outer);

 private:
  static constexpr size_t kWalks = 8;
  std::array<HeaderWalk, kWalks> walks_;
  size_t next_slot_ = 0;
};

}  // namespace officecarve
