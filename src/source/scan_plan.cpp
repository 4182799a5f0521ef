#include "source/scan_plan.h"

#include <algorithm>

namespace officecarve {
namespace {

// The whole range with the working geometry, or with an estimate where the
// working geometry knows nothing and the user chose nothing.
ScanRegion WholeRangeRegion(const SectorSource& source, GridChoice choice) {
  const VolumeGeometry& working = source.Working();
  ScanRegion region;
  region.kind = working.kind;
  if (working.cluster_phase != -1) {
    region.sectors_per_cluster = std::max<uint32_t>(1, working.sectors_per_cluster);
    region.cluster_phase = working.cluster_phase;
    region.origin = source.BootSectorRecognised() && working == source.Probed()
                        ? GridOrigin::kBootSector
                        : GridOrigin::kChosen;
  } else if (choice.chosen) {
    region.sectors_per_cluster = std::max<uint32_t>(1, working.sectors_per_cluster);
    region.origin = GridOrigin::kChosen;
  } else {
    region.origin = GridOrigin::kToEstimate;
  }
  return region;
}

// A space outside the partitions, or a partition whose own boot sector does
// not tell its grid.
ScanRegion UnknownRegion(const SectorSource& source, GridChoice choice, int64_t first, int64_t last,
                         int partition) {
  ScanRegion region;
  region.first = first;
  region.last = last;
  region.partition = partition;
  if (choice.chosen) {
    region.sectors_per_cluster = std::max<uint32_t>(1, source.Working().sectors_per_cluster);
    region.origin = GridOrigin::kChosen;
  } else {
    region.origin = GridOrigin::kToEstimate;
  }
  return region;
}

std::vector<ScanRegion> PartitionedRegions(const SectorSource& source, GridChoice choice) {
  const uint32_t bytes_per_sector = source.Working().bytes_per_sector;
  std::vector<ScanRegion> regions;
  int64_t next = 0;
  for (const Partition& partition : source.Partitions().partitions) {
    if (partition.first_sector > next) {
      regions.push_back(
          UnknownRegion(source, choice, next, partition.first_sector - 1, kOutsidePartitions));
    }
    ScanRegion region = UnknownRegion(source, choice, partition.first_sector,
                                      partition.LastSector(), partition.number);
    region.kind = partition.boot.recognised ? partition.boot.geometry.kind : FileSystemKind::kOther;
    const std::optional<PartitionGrid> grid =
        partition.boot.recognised && choice.reason == LossReason::kDeleted
            ? GridOfPartition(partition, bytes_per_sector)
            : std::nullopt;
    if (grid) {
      region.sectors_per_cluster = grid->sectors_per_cluster;
      region.cluster_phase = grid->cluster_phase;
      region.origin = GridOrigin::kPartitionBootSector;
    }
    regions.push_back(region);
    next = partition.LastSector() + 1;
  }
  const int64_t last_sector = source.Working().last_sector;
  if (next <= last_sector) {
    regions.push_back(UnknownRegion(source, choice, next, last_sector, kOutsidePartitions));
  }
  return regions;
}

}  // namespace

std::optional<PartitionGrid> GridOfPartition(const Partition& partition,
                                             uint32_t source_bytes_per_sector) {
  const VolumeGeometry& own = partition.boot.geometry;
  if (source_bytes_per_sector == 0 || own.cluster_phase < 0) return std::nullopt;
  const uint64_t cluster_bytes = uint64_t{own.sectors_per_cluster} * own.bytes_per_sector;
  const uint64_t sectors_per_cluster =
      std::max<uint64_t>(1, cluster_bytes / source_bytes_per_sector);
  const uint64_t first_cluster_byte =
      static_cast<uint64_t>(partition.first_sector) * source_bytes_per_sector +
      uint64_t{static_cast<uint32_t>(own.cluster_phase)} * own.bytes_per_sector;
  if (first_cluster_byte % source_bytes_per_sector != 0 || sectors_per_cluster > UINT32_MAX) {
    return std::nullopt;
  }
  PartitionGrid grid;
  grid.sectors_per_cluster = static_cast<uint32_t>(sectors_per_cluster);
  grid.cluster_phase =
      static_cast<int32_t>(first_cluster_byte / source_bytes_per_sector % sectors_per_cluster);
  return grid;
}

std::vector<ScanRegion> PlanScanRegions(const SectorSource& source, GridChoice choice,
                                        ScanRange range) {
  std::vector<ScanRegion> planned;
  if (source.Partitions().Recognised() && choice.reason != LossReason::kRepartitioned) {
    planned = PartitionedRegions(source, choice);
  } else {
    ScanRegion whole = WholeRangeRegion(source, choice);
    whole.first = range.first;
    whole.last = range.last;
    planned.push_back(whole);
  }
  std::vector<ScanRegion> regions;
  for (ScanRegion& region : planned) {
    region.first = std::max(region.first, range.first);
    region.last = std::min(region.last, range.last);
    if (region.first <= region.last) regions.push_back(region);
  }
  return regions;
}

}  // namespace officecarve
