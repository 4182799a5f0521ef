#pragma once

#include <nlohmann/json.hpp>
#include <span>
#include <string_view>

#include "source/partition_table.h"
#include "source/scan_plan.h"

namespace officecarve {

// "boot-sector", "partition-boot-sector", "chosen", "to-estimate",
// "estimated", "no-grid".
std::string_view GridOriginName(GridOrigin origin);

// Each region with its grid, where the grid came from, and the same words
// the terminal and the window show (in English).
nlohmann::json RegionsJson(std::span<const ScanRegion> regions, uint32_t bytes_per_sector);

// The scheme and the partitions with what each one's boot sector says;
// null when no partition table was recognised.
nlohmann::json PartitionTableJson(const PartitionTable& table);

}  // namespace officecarve
