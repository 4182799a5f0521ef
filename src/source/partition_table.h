#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "source/boot_probe.h"

namespace officecarve {

class RawHandle;

enum class PartitionScheme : uint8_t { kNone, kMbr, kGpt };

// One partition of a whole disk, in the source's own sectors.
struct Partition {
  // 1..4 for the primary entries of an MBR, 5 and up for logical partitions
  // in the order of their chain, the entry's index + 1 in a GPT.
  int number = 0;
  int64_t first_sector = 0;
  int64_t sector_count = 0;
  std::string type;       // "0x07", or the type GUID "EBD0A0A2-B9E5-..."
  std::string type_name;  // "NTFS/exFAT", "basic data", ...; empty when unknown
  std::string name;       // the GPT entry's name in UTF-8; empty for an MBR
  ProbeResult boot;       // what the partition's first sector says

  int64_t LastSector() const { return first_sector + sector_count - 1; }
};

// What the first sectors of a whole disk say: which scheme, and its
// partitions in ascending order of their first sector, none overlapping.
// A table that points outside the disk, overlaps itself, loops, or whose
// checksums or counts do not hold is not recognised (scheme kNone).
struct PartitionTable {
  PartitionScheme scheme = PartitionScheme::kNone;
  std::vector<Partition> partitions;

  bool Recognised() const { return scheme != PartitionScheme::kNone; }
};

// Reads the partition table of a source of `sector_count` sectors of
// `bytes_per_sector` bytes, and probes each partition's boot sector. Reads
// are bounded: sector 0, one GPT header and its entry array (at most
// kMaxGptEntryBytes), or one sector per link of an extended chain of at most
// kMaxLogicalPartitions links.
PartitionTable ReadPartitionTable(RawHandle& handle, uint32_t bytes_per_sector,
                                  int64_t sector_count);

inline constexpr int kMaxLogicalPartitions = 128;
inline constexpr uint64_t kMaxGptEntryBytes = 1 << 20;

// "MBR", "GPT", "none".
std::string_view PartitionSchemeName(PartitionScheme scheme);

// Internals shared by the MBR and GPT readers.
namespace partition_detail {

// Reads exactly dest.size() bytes at byte offset; false on any shortfall.
bool ReadBytesAt(RawHandle& handle, int64_t offset, std::span<uint8_t> dest);

// Sorts by first sector; false when two partitions share a sector.
bool SortWithoutOverlap(std::vector<Partition>& partitions);

// The GPT behind a protective MBR; scheme kNone when neither the header in
// sector 1 nor the backup header in the last sector holds.
PartitionTable ReadGpt(RawHandle& handle, uint32_t bytes_per_sector, int64_t sector_count);

}  // namespace partition_detail

}  // namespace officecarve
