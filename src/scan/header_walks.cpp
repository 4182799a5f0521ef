#include "scan/header_walks.h"

namespace officecarve {

HeaderWalk& HeaderWalks::For(int64_t outer) {
  for (HeaderWalk& walk : walks_) {
    if (walk.outer == outer) return walk;
  }
  HeaderWalk& walk = walks_[next_slot_];
  next_slot_ = (next_slot_ + 1) % kWalks;
  walk.outer = outer;
  walk.started = false;
  walk.ended = false;
  walk.next = 0;
  walk.records.clear();
  return walk;
}

}  // namespace officecarve
