#pragma once

#include <cstdint>

namespace officecarve {

// Items of the cluster-size selector: item i stands for 512 << i bytes.
inline constexpr int kClusterItemCount = 9;

// Sectors per cluster for a selector item; 0 when the cluster is smaller
// than one sector (the scan then works as with one sector per cluster).
inline constexpr uint32_t SectorsPerClusterForItem(int item, uint32_t bytes_per_sector) {
  if (item < 0 || item >= kClusterItemCount || bytes_per_sector == 0) return 0;
  return (512u << item) / bytes_per_sector;
}

}  // namespace officecarve

namespace officecarve {

// The selector item that shows a cluster size: 512 << item bytes; sizes the
// selector cannot show select item 0.
inline constexpr int ClusterItemForSize(uint64_t sectors_per_cluster, uint64_t bytes_per_sector) {
  const uint64_t units = (sectors_per_cluster * bytes_per_sector) >> 9;
  for (int item = 0; item < kClusterItemCount; ++item) {
    if (units == (uint64_t{1} << item)) return item;
  }
  return 0;
}

}  // namespace officecarve
