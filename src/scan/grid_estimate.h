#pragma once

#include <array>
#include <cstdint>

#include "scan/file_kind.h"

namespace officecarve {

// Kinds whose header is a file's first sector and hard to meet by chance:
// documents, pictures, PDF, archives, media. Left out are the kinds that
// also occur inside files (stream packets, JPEGs without APP0/APP1) and FAT
// directory sectors, which a file system places in clusters of its own.
bool IsStrongHeader(FileKind kind);

// Fewer strong headers than this tell nothing about a grid: a handful of
// hits share a residue by chance far too often.
inline constexpr uint64_t kMinGridHeaders = 16;
// The share of the strong headers that must start at one residue for a
// cluster size to be believed; the rest (files embedded in others, leftovers
// of an older layout) are dropped with the off-grid candidates.
inline constexpr uint64_t kGridDominancePercent = 90;
// Clusters are looked for from one sector up to this size.
inline constexpr uint32_t kMaxEstimatedClusterBytes = 64 * 1024;

struct GridEstimate {
  bool found = false;
  uint32_t sectors_per_cluster = 1;
  int32_t cluster_phase = 0;
  uint64_t headers = 0;  // the strong headers weighed
};

// Residues of the strong headers' sectors, modulo the largest cluster
// looked for; every smaller power of two is folded from them.
class GridHistogram {
 public:
  static constexpr uint32_t kMaxSectors = kMaxEstimatedClusterBytes / 512;

  void Add(int64_t sector) {
    ++counts_[static_cast<size_t>(sector & (kMaxSectors - 1))];
    ++total_;
  }
  uint64_t Total() const { return total_; }

  // The largest power-of-two cluster, from 2 sectors up to
  // kMaxEstimatedClusterBytes, on which at least kGridDominancePercent of
  // the headers start at one residue (ties: the lowest); not found with
  // fewer than kMinGridHeaders headers or when no size qualifies.
  GridEstimate Estimate(uint32_t bytes_per_sector) const;

 private:
  std::array<uint64_t, kMaxSectors> counts_{};
  uint64_t total_ = 0;
};

}  // namespace officecarve
