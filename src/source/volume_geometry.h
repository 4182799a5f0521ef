#pragma once

#include <cstdint>

namespace officecarve {

enum class FileSystemKind : uint8_t { kFat = 0, kFat32 = 1, kNtfs = 2, kExFat = 3, kOther = 4 };

enum class LossReason : int { kDeleted = 0, kFormatted = 1, kRepartitioned = 2 };

struct VolumeGeometry {
  uint32_t bytes_per_sector = 512;
  int64_t last_sector = -1;  // sector count minus one
  uint32_t sectors_per_cluster = 1;
  int32_t cluster_phase = -1;  // first data sector mod sectors per cluster; -1 unknown
  FileSystemKind kind = FileSystemKind::kOther;

  bool operator==(const VolumeGeometry&) const = default;
};

// Sector sizes the engine works with; buffers are sized from the geometry.
inline constexpr bool IsSupportedSectorSize(uint64_t bytes) {
  return bytes == 512 || bytes == 1024 || bytes == 2048 || bytes == 4096;
}

inline constexpr uint32_t kMaxSectorBytes = 4096;

struct ScanRange {
  int64_t first = 0;
  int64_t last = -1;
};

}  // namespace officecarve
