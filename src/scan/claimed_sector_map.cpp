#include "scan/claimed_sector_map.h"

#include <algorithm>
#include <bit>

namespace officecarve {

ClaimedSectorMap::ClaimedSectorMap(int64_t last_sector) : last_sector_(last_sector) {
  if (last_sector_ < 0) return;
  // Same as (last + 32) / 32 without overflowing for the largest sector numbers.
  word_count_ = static_cast<size_t>(last_sector_ / 32 + 1);
  words_.reset(static_cast<uint32_t*>(std::calloc(word_count_, sizeof(uint32_t))));
  const size_t summary_words = word_count_ / 64 + 1;
  any_.reset(static_cast<uint64_t*>(std::calloc(summary_words, sizeof(uint64_t))));
  full_.reset(static_cast<uint64_t*>(std::calloc(summary_words, sizeof(uint64_t))));
  claimed_in_group_.reset(static_cast<uint16_t*>(std::calloc(summary_words, sizeof(uint16_t))));
  if (!words_ || !any_ || !full_ || !claimed_in_group_) {
    words_.reset();
    any_.reset();
    full_.reset();
    claimed_in_group_.reset();
    // An empty map: nothing can be claimed and nothing is there to count.
    last_sector_ = -1;
    word_count_ = 0;
    valid_ = false;
  }
}

size_t ClaimedSectorMap::NextSummarised(const uint64_t* summary, bool complement,
                                        size_t word) const {
  while (word < word_count_) {
    const uint64_t bits = (complement ? ~summary[word / 64] : summary[word / 64]) >> (word % 64);
    if (bits != 0) return std::min(word_count_, word + std::countr_zero(bits));
    word += 64 - word % 64;
  }
  return word_count_;
}

int64_t ClaimedSectorMap::NextUnclaimed(int64_t from, int64_t limit) const {
  int64_t sector = from;
  while (sector <= limit) {
    if (!Inside(sector)) return sector;
    // The claimed bits from this sector to the end of its word, counted at once.
    const uint32_t ahead = words_[Word(sector)] >> (sector % 32);
    const int claimed = std::countr_one(ahead);
    if (claimed < 32 - sector % 32) return std::min(sector + claimed, limit + 1);
    // Past the words that are claimed whole.
    const size_t next = NextSummarised(full_.get(), true, Word(sector) + 1);
    sector = static_cast<int64_t>(next) * 32;
  }
  return from > limit ? from : limit + 1;
}

int64_t ClaimedSectorMap::NextClaimed(int64_t from, int64_t limit) const {
  int64_t sector = std::max<int64_t>(from, 0);
  if (from > limit) return limit + 1;
  while (sector <= limit && sector <= last_sector_) {
    const uint32_t ahead = words_[Word(sector)] >> (sector % 32);
    if (ahead != 0) return std::min(sector + std::countr_zero(ahead), limit + 1);
    // Past the words that hold no claim.
    const size_t next = NextSummarised(any_.get(), false, Word(sector) + 1);
    sector = static_cast<int64_t>(next) * 32;
  }
  return limit + 1;
}

int64_t ClaimedSectorMap::NthUnclaimed(int64_t from, uint64_t index, int64_t limit) const {
  constexpr int64_t kGroupSectors = 64 * 32;
  int64_t sector = std::max<int64_t>(from, 0);
  auto past_limit = [&](int64_t at) { return at > limit ? limit + 1 : at; };
  while (sector <= limit) {
    // Past the map every sector is unclaimed.
    if (sector > last_sector_) {
      return index > static_cast<uint64_t>(limit - sector) ? limit + 1
                                                           : sector + static_cast<int64_t>(index);
    }
    const size_t word = Word(sector);
    if (sector % kGroupSectors == 0) {
      const uint64_t unclaimed = kGroupSectors - claimed_in_group_[word / 64];
      if (index >= unclaimed) {
        index -= unclaimed;
        sector += kGroupSectors;
        continue;
      }
    }
    // From a word's start, the words no claim touches and the words claims
    // fill are passed by their summary bits, as many as follow each other.
    if (sector % 32 == 0) {
      const int shift = static_cast<int>(word % 64);
      const auto run_of = [shift](uint64_t summary) {
        return static_cast<int64_t>(std::countr_zero(~(summary >> shift)));
      };
      if (const int64_t untouched = run_of(~any_[word / 64]); untouched > 0) {
        const auto free_sectors = static_cast<uint64_t>(untouched * 32);
        if (index < free_sectors) return past_limit(sector + static_cast<int64_t>(index));
        index -= free_sectors;
        sector += untouched * 32;
        continue;
      }
      if (const int64_t filled = run_of(full_[word / 64]); filled > 0) {
        sector += filled * 32;
        continue;
      }
    }
    // The unclaimed sectors from this one to the end of its word.
    uint32_t free_bits = ~words_[word] >> (sector % 32);
    const auto in_word = static_cast<uint64_t>(BitCount(free_bits));
    const int64_t word_end = static_cast<int64_t>(word + 1) * 32;
    if (index >= in_word) {
      index -= in_word;
      sector = word_end;
      continue;
    }
    for (uint64_t skipped = 0; skipped < index; ++skipped) free_bits &= free_bits - 1;
    return past_limit(sector + std::countr_zero(free_bits));
  }
  return limit + 1;
}

void ClaimedSectorMap::SetRange(int64_t first, int64_t last, bool claimed) {
  first = std::max<int64_t>(first, 0);
  last = std::min(last, last_sector_);
  ++changes_;
  while (first <= last) {
    if (first % 32 == 0 && last - first >= 31) {
      const auto words = static_cast<size_t>((last - first + 1) / 32);
      SetWholeWords(Word(first), words, claimed);
      first += static_cast<int64_t>(words) * 32;
      continue;
    }
    const int64_t in_word = std::min<int64_t>(32 - first % 32, last - first + 1);
    const uint32_t bits = (in_word == 32 ? 0xFFFFFFFFu : ((uint32_t{1} << in_word) - 1))
                          << (first % 32);
    const uint32_t before = words_[Word(first)];
    if (claimed) {
      words_[Word(first)] |= bits;
    } else {
      words_[Word(first)] &= ~bits;
    }
    Summarise(Word(first), before);
    first += in_word;
  }
}

void ClaimedSectorMap::SetWholeWords(size_t word, size_t count, bool claimed) {
  // A group of 64 words at a time: its count and summary bits change at once.
  const size_t end = word + count;
  while (word < end) {
    const size_t group = word / 64;
    const size_t group_end = std::min(end, (group + 1) * 64);
    const size_t bits = group_end - word;
    const uint64_t mask = (bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1) << (word % 64);
    // What the words held is counted only where the summaries cannot tell.
    int before = 0;
    if (bits == 64) {
      before = claimed_in_group_[group];
    } else if ((full_[group] & mask) == mask) {
      before = static_cast<int>(32 * bits);
    } else if ((any_[group] & mask) != 0) {
      for (size_t at = word; at < group_end; ++at) before += BitCount(words_[at]);
    }
    std::fill(words_.get() + word, words_.get() + group_end, claimed ? 0xFFFFFFFFu : 0u);
    const int after = claimed ? static_cast<int>(32 * bits) : 0;
    claimed_in_group_[group] = static_cast<uint16_t>(claimed_in_group_[group] + after - before);
    if (claimed) {
      any_[group] |= mask;
      full_[group] |= mask;
    } else {
      any_[group] &= ~mask;
      full_[group] &= ~mask;
    }
    word = group_end;
  }
}

void ClaimedSectorMap::NoteKept(int64_t first, int64_t last) {
  if (first > last) return;
  const size_t slot = static_cast<size_t>(kept_count_ % kKeptRunsRemembered);
  if (kept_runs_.size() <= slot) kept_runs_.resize(slot + 1);
  kept_runs_[slot] = {first, last};
  ++kept_count_;
}

void ClaimedSectorMap::ClaimKept(int64_t first, int64_t last) {
  first = std::max<int64_t>(first, 0);
  last = std::min(last, last_sector_);
  while (first <= last) {
    const int64_t unclaimed = NextUnclaimed(first, last);
    if (unclaimed > last) return;
    const int64_t end = NextClaimed(unclaimed, last);
    ClaimRange(unclaimed, end - 1);
    NoteKept(unclaimed, end - 1);
    first = end;
  }
}

std::optional<std::pair<int64_t, int64_t>> ClaimedSectorMap::KeptRun(uint64_t index) const {
  if (index >= kept_count_ || kept_count_ - index > kKeptRunsRemembered) return std::nullopt;
  return kept_runs_[static_cast<size_t>(index % kKeptRunsRemembered)];
}

int64_t ClaimedSectorMap::PreviousUnclaimed(int64_t from, int64_t limit) const {
  int64_t sector = from;
  while (sector >= limit) {
    if (!Inside(sector)) return sector;
    // The claimed bits from this sector down to the start of its word.
    const uint32_t below = words_[Word(sector)] << (31 - sector % 32);
    const int claimed = std::countl_one(below);
    if (claimed <= sector % 32) return std::max(sector - claimed, limit - 1);
    // Past the words below that are claimed whole, 64 at a time where the
    // summary says so.
    size_t word = Word(sector);
    while (word > 0 && static_cast<int64_t>(word) * 32 > limit) {
      if (word % 64 == 0 && word >= 64 && full_[word / 64 - 1] == ~uint64_t{0}) {
        word -= 64;
      } else if (words_[word - 1] == 0xFFFFFFFFu) {
        --word;
      } else {
        break;
      }
    }
    sector = static_cast<int64_t>(word) * 32 - 1;
  }
  return limit - 1;
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
