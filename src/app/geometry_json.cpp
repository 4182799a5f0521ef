#include "app/geometry_json.h"

#include "app/json_report.h"
#include "source/grid_text.h"

namespace officecarve {

std::string_view GridOriginName(GridOrigin origin) {
  switch (origin) {
    case GridOrigin::kBootSector:
      return "boot-sector";
    case GridOrigin::kPartitionBootSector:
      return "partition-boot-sector";
    case GridOrigin::kChosen:
      return "chosen";
    case GridOrigin::kToEstimate:
      return "to-estimate";
    case GridOrigin::kEstimated:
      return "estimated";
    case GridOrigin::kNoGrid:
      break;
  }
  return "no-grid";
}

nlohmann::json RegionsJson(std::span<const ScanRegion> regions, uint32_t bytes_per_sector) {
  const UiTextTable english(TextVariant::English);
  nlohmann::json list = nlohmann::json::array();
  for (const ScanRegion& region : regions) {
    list.push_back({
        {"first", region.first},
        {"last", region.last},
        {"partition", region.partition > 0 ? nlohmann::json(region.partition) : nullptr},
        {"outside_partitions", region.partition == kOutsidePartitions},
        {"file_system", FileSystemName(region.kind)},
        {"sectors_per_cluster", region.sectors_per_cluster},
        {"cluster_phase", region.cluster_phase},
        {"origin", GridOriginName(region.origin)},
        {"headers", region.headers},
        {"text", GridText(english, region, bytes_per_sector)},
    });
  }
  return list;
}

nlohmann::json PartitionTableJson(const PartitionTable& table) {
  if (!table.Recognised()) return nullptr;
  nlohmann::json partitions = nlohmann::json::array();
  for (const Partition& partition : table.partitions) {
    const VolumeGeometry& boot = partition.boot.geometry;
    nlohmann::json entry = {
        {"number", partition.number},
        {"first_sector", partition.first_sector},
        {"sector_count", partition.sector_count},
        {"type", partition.type},
        {"type_name", partition.type_name},
        {"name", partition.name},
        {"boot_sector_recognised", partition.boot.recognised},
    };
    if (partition.boot.recognised) {
      entry["file_system"] = FileSystemName(boot.kind);
      entry["bytes_per_sector"] = boot.bytes_per_sector;
      entry["sectors_per_cluster"] = boot.sectors_per_cluster;
      entry["cluster_phase"] = boot.cluster_phase;
    }
    partitions.push_back(entry);
  }
  return {{"scheme", PartitionSchemeName(table.scheme)}, {"partitions", partitions}};
}

}  // namespace officecarve
