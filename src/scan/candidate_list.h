#pragma once

#include <cstdint>
#include <vector>

#include "scan/file_kind.h"

namespace officecarve {

// The search hits in ascending sector order: a 64-bit sector and a kind each.
class CandidateList {
 public:
  // Storage grows in large steps so the search loop rarely reallocates.
  static constexpr size_t kGrowthStep = 1'000'000;

  void Append(int64_t sector, FileKind kind) {
    if (sectors_.size() == sectors_.capacity()) Grow();
    sectors_.push_back(sector);
    kinds_.push_back(kind);
  }
  void Reset();
  size_t Count() const { return sectors_.size(); }
  int64_t Sector(size_t i) const { return sectors_[i]; }
  FileKind Kind(size_t i) const { return kinds_[i]; }
  void SetKind(size_t i, FileKind kind) { kinds_[i] = kind; }
  // Drops the entries whose kind is None, keeping the order of the rest.
  // progress(j, sector) is called at the first kept entry at or after each
  // index j that is a multiple of 1024.
  template <typename Progress>
  void Compact(Progress&& progress);

 private:
  void Grow();

  std::vector<int64_t> sectors_;
  std::vector<FileKind> kinds_;
};

template <typename Progress>
void CandidateList::Compact(Progress&& progress) {
  size_t kept = 0;
  size_t pending_mark = 0;
  bool mark_pending = false;
  for (size_t i = 0; i < sectors_.size(); ++i) {
    if (i % 1024 == 0) {
      pending_mark = i;
      mark_pending = true;
    }
    if (kinds_[i] == FileKind::None) continue;
    if (mark_pending) {
      progress(pending_mark, sectors_[i]);
      mark_pending = false;
    }
    sectors_[kept] = sectors_[i];
    kinds_[kept] = kinds_[i];
    ++kept;
  }
  sectors_.resize(kept);
  kinds_.resize(kept);
}

}  // namespace officecarve
