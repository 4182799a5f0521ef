#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "source/scan_plan.h"
#include "text/ui_text_table.h"

namespace officecarve {

// "1,204": thousands grouped with commas, in every language variant.
std::string GroupedNumber(uint64_t number);

// A cluster size as the cluster-size selector names it: "0.5K", "4K", "128K".
std::string ClusterSizeText(uint64_t cluster_bytes);

// The grid of a region and where it came from: "4K, phase 3, estimated from
// 1,204 headers", "4K, phase 6, partition 1 boot sector", "single units (3
// headers)", "estimated when scanning".
std::string GridText(const UiTextTable& texts, const ScanRegion& region, uint32_t bytes_per_sector);

// What the region is: "partition 2", "outside partitions", or empty for the
// whole source.
std::string RegionText(const UiTextTable& texts, const ScanRegion& region);

// "partition 1 [2048-526335]: " + GridText; the whole source's region is
// its GridText alone.
std::string RegionLine(const UiTextTable& texts, const ScanRegion& region,
                       uint32_t bytes_per_sector);

// One line for the status bar: "Cluster grid: " and, for several regions,
// each region's name and grid joined by "; ".
std::string GridSummary(const UiTextTable& texts, std::span<const ScanRegion> regions,
                        uint32_t bytes_per_sector);

}  // namespace officecarve
