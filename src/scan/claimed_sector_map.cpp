#include "scan/claimed_sector_map.h"

#include <bit>

namespace officecarve {

ClaimedSectorMap::ClaimedSectorMap(int64_t last_sector) : last_sector_(last_sector) {
  if (last_sector_ < 0) return;
  // Same as (last + 32) / 32 without overflowing for the largest sector numbers.
  word_count_ = static_cast<size_t>(last_sector_ / 32 + 1);
  words_.reset(static_cast<uint32_t*>(std::calloc(word_count_, sizeof(uint32_t))));
  if (!words_) {
    // An empty map: nothing can be claimed and nothing is there to count.
    last_sector_ = -1;
    word_count_ = 0;
    valid_ = false;
  }
}

int64_t ClaimedSectorMap::NextUnclaimed(int64_t from, int64_t limit) const {
  int64_t sector = from;
  while (sector <= limit) {
    if (!Inside(sector)) return sector;
    const uint32_t word = words_[Word(sector)];
    if (word == 0xFFFFFFFFu && sector % 32 == 0) {
      sector += 32;
      continue;
    }
    if ((word & Bit(sector)) == 0) return sector;
    ++sector;
  }
  return from > limit ? from : limit + 1;
}

uint64_t ClaimedSectorMap::CountClaimed() const {
  uint64_t count = 0;
  for (size_t i = 0; i < word_count_; ++i) count += std::popcount(words_[i]);
  return count;
}

std::vector<std::pair<int64_t, int64_t>> ClaimedSectorMap::ClaimedRuns() const {
  std::vector<std::pair<int64_t, int64_t>> runs;
  for (size_t i = 0; i < word_count_; ++i) {
    uint32_t word = words_[i];
    while (word != 0) {
      const int64_t sector = static_cast<int64_t>(i) * 32 + std::countr_zero(word);
      word &= word - 1;
      if (!runs.empty() && runs.back().second + 1 == sector) {
        runs.back().second = sector;
      } else {
        runs.emplace_back(sector, sector);
      }
    }
  }
  return runs;
}

}  // namespace officecarve
