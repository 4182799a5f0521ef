#include "source/boot_probe.h"

#include <array>
#include <cstring>
#include <string_view>

#include "platform/raw_handle.h"

namespace officecarve {
namespace {

constexpr size_t kBootBytes = 512;

uint16_t Le16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

uint32_t Le32(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

bool Matches(std::span<const uint8_t> b, size_t at, std::string_view text) {
  return std::memcmp(b.data() + at, text.data(), text.size()) == 0;
}

bool IsPowerOfTwo(uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

// These file systems only use 512- to 4096-byte sectors: any other value means
// a damaged boot sector, and the source is better opened with the fallbacks
// than refused.
bool PlausibleSectorSize(uint32_t bytes) { return IsSupportedSectorSize(bytes); }

ProbeResult ProbeFat(std::span<const uint8_t> boot, FileSystemKind kind, uint32_t fat_size) {
  ProbeResult result;
  const uint32_t bytes_per_sector = Le16(boot, 0x0B);
  const uint32_t sectors_per_cluster = boot[0x0D];
  if (!PlausibleSectorSize(bytes_per_sector) || !IsPowerOfTwo(sectors_per_cluster)) return result;
  const uint32_t reserved = Le16(boot, 0x0E);
  const uint32_t fat_count = boot[0x10];
  const uint32_t root_entries = Le16(boot, 0x11);
  // The root directory's sectors are rounded down, as the file system's own
  // arithmetic does for the data-area start we want to match.
  const uint32_t root_sectors = (root_entries * 32) / bytes_per_sector;
  // 32-bit on purpose: the phase is taken modulo a power of two, which a
  // wrap of the sum does not change.
  const uint32_t first_data_sector = reserved + fat_count * fat_size + root_sectors;
  result.recognised = true;
  result.geometry.kind = kind;
  result.geometry.bytes_per_sector = bytes_per_sector;
  result.geometry.sectors_per_cluster = sectors_per_cluster;
  result.geometry.cluster_phase = static_cast<int32_t>(first_data_sector % sectors_per_cluster);
  return result;
}

ProbeResult ProbeNtfs(std::span<const uint8_t> boot) {
  ProbeResult result;
  const uint32_t bytes_per_sector = Le16(boot, 0x0B);
  uint32_t sectors_per_cluster = boot[0x0D];
  // Clusters of more than 128 sectors are stored as a negative power of two.
  if (sectors_per_cluster > 0x80) {
    const uint32_t shift = 256 - sectors_per_cluster;
    // Beyond 2^25 sectors no file system has clusters; a larger shift is
    // a damaged field (and past 31 would not even fit the type).
    if (shift > 25) return result;
    sectors_per_cluster = 1u << shift;
  }
  if (!PlausibleSectorSize(bytes_per_sector) || !IsPowerOfTwo(sectors_per_cluster)) return result;
  result.recognised = true;
  result.geometry.kind = FileSystemKind::kNtfs;
  result.geometry.bytes_per_sector = bytes_per_sector;
  result.geometry.sectors_per_cluster = sectors_per_cluster;
  result.geometry.cluster_phase = 0;
  return result;
}

ProbeResult ProbeExFat(std::span<const uint8_t> boot) {
  ProbeResult result;
  const uint32_t sector_shift = boot[0x6C] % 32;
  const uint32_t cluster_shift = boot[0x6D] % 32;
  // exFAT clusters are at most 32 MiB; anything beyond is a damaged sector.
  if (sector_shift + cluster_shift > 25 || sector_shift < 9 || sector_shift > 12) return result;
  const uint32_t sectors_per_cluster = 1u << cluster_shift;
  const uint32_t heap_offset = Le32(boot, 0x58);
  result.recognised = true;
  result.geometry.kind = FileSystemKind::kExFat;
  result.geometry.bytes_per_sector = 1u << sector_shift;
  result.geometry.sectors_per_cluster = sectors_per_cluster;
  result.geometry.cluster_phase =
      static_cast<int32_t>((heap_offset & 0xFFFF) % sectors_per_cluster);
  return result;
}

}  // namespace

ProbeResult ProbeBootBytes(std::span<const uint8_t> boot) {
  if (boot.size() < kBootBytes) return {};
  if (Matches(boot, 0x36, "FAT12   ") || Matches(boot, 0x36, "FAT16   ")) {
    return ProbeFat(boot, FileSystemKind::kFat, Le16(boot, 0x16));
  }
  if (Matches(boot, 0x52, "FAT32   ")) {
    return ProbeFat(boot, FileSystemKind::kFat32, Le32(boot, 0x24));
  }
  if (Matches(boot, 3, "NTFS    ")) return ProbeNtfs(boot);
  if (Matches(boot, 3, "EXFAT   ")) return ProbeExFat(boot);
  return {};
}

ProbeResult ProbeBootSector(RawHandle& handle) {
  std::array<uint8_t, kBootBytes> boot{};
  if (handle.Seek(0, SeekOrigin::kBegin) != 0) return {};
  if (handle.Read(boot) != static_cast<int64_t>(boot.size())) return {};
  return ProbeBootBytes(boot);
}

}  // namespace officecarve
