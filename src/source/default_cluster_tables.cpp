#include <array>
#include <cstdint>
#include <span>

#include "source/geometry_choices.h"

namespace officecarve {
namespace {

// A volume of fewer than `limit` 512-byte units gets clusters of `cluster_bytes`.
struct ClusterRow {
  int64_t limit;
  uint32_t cluster_bytes;
};

constexpr std::array<ClusterRow, 7> kFatRows = {{{65'535, 512},
                                                 {131'071, 1'024},
                                                 {262'143, 2'048},
                                                 {524'287, 4'096},
                                                 {1'048'575, 8'192},
                                                 {2'097'151, 16'384},
                                                 {4'194'303, 32'768}}};

constexpr std::array<ClusterRow, 6> kFat32Rows = {{{131'071, 512},
                                                   {262'143, 1'024},
                                                   {524'287, 2'048},
                                                   {16'777'215, 4'096},
                                                   {33'554'431, 8'192},
                                                   {67'108'863, 16'384}}};

constexpr std::array<ClusterRow, 3> kExFatRows = {
    {{524'287, 4'096}, {67'108'863, 32'768}, {549'755'813'887, 131'072}}};

constexpr uint32_t kNtfsSectorsPerCluster = 8;

uint32_t WalkTable(std::span<const ClusterRow> rows, int64_t last_sector,
                   uint32_t bytes_per_sector) {
  // The limits count 512-byte units; sectors under 512 bytes (which no
  // supported source has) are counted as 512 so the divisor is never 0.
  const int64_t units_per_sector = bytes_per_sector >= 512 ? bytes_per_sector / 512 : 1;
  for (const ClusterRow& row : rows) {
    if (row.limit / units_per_sector > last_sector) {
      // A cluster is never smaller than one sector.
      const uint32_t sectors = row.cluster_bytes / bytes_per_sector;
      return sectors > 0 ? sectors : 1;
    }
  }
  return 0;
}

}  // namespace

uint32_t DefaultSectorsPerCluster(int file_system_item, int64_t last_sector,
                                  uint32_t bytes_per_sector) {
  if (bytes_per_sector == 0 || file_system_item < 0 || file_system_item > 4) return 0;
  switch (static_cast<FileSystemKind>(file_system_item)) {
    case FileSystemKind::kFat:
      return WalkTable(kFatRows, last_sector, bytes_per_sector);
    case FileSystemKind::kFat32:
      return WalkTable(kFat32Rows, last_sector, bytes_per_sector);
    case FileSystemKind::kExFat:
      return WalkTable(kExFatRows, last_sector, bytes_per_sector);
    case FileSystemKind::kNtfs:
      return kNtfsSectorsPerCluster;
    case FileSystemKind::kOther:
      return 1;
  }
  return 0;
}

}  // namespace officecarve
