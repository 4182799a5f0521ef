#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "source/sector_source.h"
#include "source/volume_geometry.h"

namespace officecarve {

// Where the cluster grid of a part of the source came from.
enum class GridOrigin : uint8_t {
  kBootSector,           // the source's own boot sector
  kPartitionBootSector,  // the boot sector of the partition the region is
  kChosen,               // the loss reason, file system or cluster size the user chose
  kToEstimate,           // nothing known yet: the scan estimates it from its headers
  kEstimated,            // estimated from the strong headers the search found
  kNoGrid,               // the headers showed no grid: single units
};

// What the user chose about the geometry, as the scan needs it.
struct GridChoice {
  LossReason reason = LossReason::kDeleted;
  // The working cluster size is the user's (a file system or a cluster size
  // was named): it holds everywhere and only an unknown phase is settled.
  // When false and nothing else tells the grid, it is estimated.
  bool chosen = true;
};

// The part number of a region that lies outside every partition of a table.
inline constexpr int kOutsidePartitions = -1;

// A stretch of the source scanned with one grid: a partition, a space
// outside the partitions, or the whole range.
struct ScanRegion {
  int64_t first = 0;
  int64_t last = -1;
  // The partition's number; 0 when the source has no partition table (or the
  // table is set aside), kOutsidePartitions for a space between partitions.
  int partition = 0;
  FileSystemKind kind = FileSystemKind::kOther;
  uint32_t sectors_per_cluster = 1;  // in source sectors
  // The residue of cluster starts modulo sectors per cluster, counted from
  // the start of the source; -1 while unknown.
  int32_t cluster_phase = -1;
  GridOrigin origin = GridOrigin::kChosen;
  uint64_t headers = 0;  // the strong headers an estimate weighed

  bool operator==(const ScanRegion&) const = default;
};

// The regions of a scan of `range`, in ascending order, covering it without
// gaps. A whole disk whose partition table was recognised is cut into its
// partitions (each with its own boot sector's grid, converted to source
// sectors, while the reason is "deleted") and the spaces between them,
// unless the reason is "repartitioned": the table then says nothing of where
// the lost files lay. Parts whose grid nothing tells are estimated unless
// the user chose a cluster size.
std::vector<ScanRegion> PlanScanRegions(const SectorSource& source, GridChoice choice,
                                        ScanRange range);

// The grid a partition's boot sector gives, in sectors of the source;
// nullopt when its clusters do not start on source sectors.
struct PartitionGrid {
  uint32_t sectors_per_cluster = 1;
  int32_t cluster_phase = 0;
};
std::optional<PartitionGrid> GridOfPartition(const Partition& partition,
                                             uint32_t source_bytes_per_sector);

}  // namespace officecarve
