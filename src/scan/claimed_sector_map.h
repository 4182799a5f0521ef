#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace officecarve {

// One bit per sector of the whole source: set for sectors that belong to a
// carved file, a file being carved, or a FAT directory cluster. Allocated
// zeroed, so the pages of a large disk that no claim touches cost nothing.
// Sectors outside 0..last are never claimed and read as unclaimed. Two
// summaries, one bit per word of the map (any sector of it claimed, all of
// them claimed), let the searches for the next claimed or unclaimed sector
// pass long stretches 2,048 sectors at a time.
class ClaimedSectorMap {
 public:
  explicit ClaimedSectorMap(int64_t last_sector);

  void Claim(int64_t sector) {
    if (!Inside(sector)) return;
    ++changes_;
    const uint32_t before = words_[Word(sector)];
    words_[Word(sector)] |= Bit(sector);
    Summarise(Word(sector), before);
  }
  void Release(int64_t sector) {
    if (!Inside(sector)) return;
    ++changes_;
    const uint32_t before = words_[Word(sector)];
    words_[Word(sector)] &= ~Bit(sector);
    Summarise(Word(sector), before);
  }
  bool IsClaimed(int64_t sector) const {
    return Inside(sector) && (words_[Word(sector)] & Bit(sector)) != 0;
  }
  // Claim or release every sector of first..last (the part inside the map),
  // a word at a time.
  void ClaimRange(int64_t first, int64_t last) { SetRange(first, last, true); }
  void ReleaseRange(int64_t first, int64_t last) { SetRange(first, last, false); }
  // The first sector at or after `from` that is not claimed (sectors outside
  // the map count as unclaimed), looking no further than `limit`; limit + 1
  // when every sector up to it is claimed, and `from` itself beyond it. Long claimed runs (a film,
  // an archive) are passed a word at a time.
  int64_t NextUnclaimed(int64_t from, int64_t limit) const;
  // The first claimed sector at or after `from`, no further than `limit`;
  // limit + 1 when there is none up to it (sectors outside the map count as
  // unclaimed).
  int64_t NextClaimed(int64_t from, int64_t limit) const;
  // The `index`-th unclaimed sector at or after `from` (the first is the
  // 0th; none is counted before sector 0), no further than `limit`;
  // limit + 1 when there are not that many.
  // Counted 2,048 sectors at a time, however the claims are strewn.
  int64_t NthUnclaimed(int64_t from, uint64_t index, int64_t limit) const;
  int64_t LastSector() const { return last_sector_; }
  // Grows with every claim and release, so a lookup can tell it still holds.
  uint64_t Changes() const { return changes_; }
  // The last sector at or before `from` that is not claimed, looking no
  // further back than `limit`; limit - 1 when every sector down to it is.
  int64_t PreviousUnclaimed(int64_t from, int64_t limit) const;
  // Claims that outlive the call that made them (files kept, directory
  // clusters) are noted here as well, counted, the latest as runs: the
  // other claims are released again when their call ends. A noted run holds
  // only sectors that were unclaimed before its call claimed them, so a
  // search that counted unclaimed sectors can tell how many it lost.
  void NoteKept(int64_t first, int64_t last);
  // Claims first..last for good, noting the sectors that were unclaimed.
  void ClaimKept(int64_t first, int64_t last);
  uint64_t KeptCount() const { return kept_count_; }
  // The run noted as the `index`-th, or nothing when it is too long ago.
  std::optional<std::pair<int64_t, int64_t>> KeptRun(uint64_t index) const;
  // False when the map could not be allocated; it then holds no sector.
  bool Valid() const { return valid_; }
  // Number of claimed sectors (tests and reports; walks the whole map).
  uint64_t CountClaimed() const;
  // The claimed sectors as first-last runs in ascending order (reports;
  // walks the whole map).
  std::vector<std::pair<int64_t, int64_t>> ClaimedRuns() const;

 private:
  // Inline: without a processor-specific build std::popcount is a library call.
  static int BitCount(uint32_t bits) {
    bits = bits - ((bits >> 1) & 0x55555555u);
    bits = (bits & 0x33333333u) + ((bits >> 2) & 0x33333333u);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0Fu;
    return static_cast<int>((bits * 0x01010101u) >> 24);
  }
  bool Inside(int64_t sector) const { return sector >= 0 && sector <= last_sector_; }
  void SetRange(int64_t first, int64_t last, bool claimed);
  // Claims or releases all of `count` words from `word` on.
  void SetWholeWords(size_t word, size_t count, bool claimed);
  static size_t Word(int64_t sector) { return static_cast<size_t>(sector / 32); }
  static uint32_t Bit(int64_t sector) { return uint32_t{1} << (sector % 32); }
  void Summarise(size_t word, uint32_t before) {
    claimed_in_group_[word / 64] = static_cast<uint16_t>(claimed_in_group_[word / 64] +
                                                         BitCount(words_[word]) - BitCount(before));
    const uint64_t bit = uint64_t{1} << (word % 64);
    if (words_[word] != 0) {
      any_[word / 64] |= bit;
    } else {
      any_[word / 64] &= ~bit;
    }
    if (words_[word] == 0xFFFFFFFFu) {
      full_[word / 64] |= bit;
    } else {
      full_[word / 64] &= ~bit;
    }
  }
  // The first word at or after `word` whose summary bit in `summary` (or in
  // its complement) is set; word_count_ when there is none.
  size_t NextSummarised(const uint64_t* summary, bool complement, size_t word) const;

  template <typename T>
  struct FreeDeleter {
    void operator()(T* block) const { std::free(block); }
  };

  int64_t last_sector_;
  uint64_t changes_ = 0;
  static constexpr size_t kKeptRunsRemembered = 4096;
  uint64_t kept_count_ = 0;
  std::vector<std::pair<int64_t, int64_t>> kept_runs_;
  size_t word_count_ = 0;
  bool valid_ = true;
  std::unique_ptr<uint32_t[], FreeDeleter<uint32_t>> words_;
  std::unique_ptr<uint64_t[], FreeDeleter<uint64_t>> any_;
  std::unique_ptr<uint64_t[], FreeDeleter<uint64_t>> full_;
  // The claimed sectors in each group of 64 words.
  std::unique_ptr<uint16_t[], FreeDeleter<uint16_t>> claimed_in_group_;
};

}  // namespace officecarve
