#include "source/grid_text.h"

namespace officecarve {

std::string GroupedNumber(uint64_t number) {
  std::string digits = std::to_string(number);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
  return digits;
}

std::string ClusterSizeText(uint64_t cluster_bytes) {
  if (cluster_bytes < 1024) return cluster_bytes == 512 ? "0.5K" : std::to_string(cluster_bytes);
  return std::to_string(cluster_bytes / 1024) + "K";
}

std::string GridText(const UiTextTable& texts, const ScanRegion& region,
                     uint32_t bytes_per_sector) {
  std::string text;
  auto add_size = [&]() {
    text += ClusterSizeText(uint64_t{region.sectors_per_cluster} * bytes_per_sector);
    if (region.sectors_per_cluster > 1 && region.cluster_phase >= 0) {
      text += ", ";
      text += texts.Text(TextId::kGridPhase);
      text += std::to_string(region.cluster_phase);
    }
    text += ", ";
  };
  switch (region.origin) {
    case GridOrigin::kBootSector:
      add_size();
      text += texts.Text(TextId::kGridBootSector);
      break;
    case GridOrigin::kPartitionBootSector:
      add_size();
      text += texts.Text(TextId::kGridPartition);
      text += std::to_string(region.partition);
      text += ' ';
      text += texts.Text(TextId::kGridBootSector);
      break;
    case GridOrigin::kChosen:
      add_size();
      text += texts.Text(TextId::kGridChosen);
      break;
    case GridOrigin::kToEstimate:
      text += texts.Text(TextId::kGridToEstimate);
      break;
    case GridOrigin::kEstimated:
      add_size();
      text += texts.Text(TextId::kGridEstimatedFrom);
      text += GroupedNumber(region.headers);
      text += texts.Text(TextId::kGridEstimatedHeaders);
      break;
    case GridOrigin::kNoGrid:
      text += texts.Text(TextId::kGridSingleUnits);
      text += GroupedNumber(region.headers);
      text += texts.Text(TextId::kGridSingleUnitsHeaders);
      break;
  }
  return text;
}

std::string RegionText(const UiTextTable& texts, const ScanRegion& region) {
  if (region.partition == kOutsidePartitions) {
    return std::string(texts.Text(TextId::kGridOutsidePartitions));
  }
  if (region.partition > 0) {
    return std::string(texts.Text(TextId::kGridPartition)) + std::to_string(region.partition);
  }
  return {};
}

std::string RegionLine(const UiTextTable& texts, const ScanRegion& region,
                       uint32_t bytes_per_sector) {
  std::string line = RegionText(texts, region);
  if (!line.empty()) {
    line += " [" + std::to_string(region.first) + "-" + std::to_string(region.last) + "]: ";
  }
  return line + GridText(texts, region, bytes_per_sector);
}

std::string GridSummary(const UiTextTable& texts, std::span<const ScanRegion> regions,
                        uint32_t bytes_per_sector) {
  std::string summary(texts.Text(TextId::kGridPrefix));
  for (size_t i = 0; i < regions.size(); ++i) {
    if (i > 0) summary += "; ";
    const std::string name = RegionText(texts, regions[i]);
    // A partition's own boot sector already names it.
    if (!name.empty() && regions.size() > 1 &&
        regions[i].origin != GridOrigin::kPartitionBootSector) {
      summary += name + ": ";
    }
    summary += GridText(texts, regions[i], bytes_per_sector);
  }
  return summary;
}

}  // namespace officecarve
