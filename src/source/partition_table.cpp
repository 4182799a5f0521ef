#include "source/partition_table.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>

#include "core/byte_order.h"
#include "platform/raw_handle.h"

namespace officecarve {
namespace {

constexpr size_t kBootBytes = 512;
constexpr size_t kEntriesOffset = 0x1BE;
constexpr size_t kEntryBytes = 16;
constexpr int kPrimaryEntries = 4;
constexpr uint8_t kProtectiveGpt = 0xEE;

struct MbrEntry {
  uint8_t status = 0;
  uint8_t type = 0;
  uint32_t first = 0;  // relative to the table's own base
  uint32_t count = 0;

  bool Empty() const { return type == 0 || count == 0; }
};

bool IsExtended(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

bool HasBootSignature(std::span<const uint8_t> sector) {
  return sector[510] == 0x55 && sector[511] == 0xAA;
}

MbrEntry EntryAt(std::span<const uint8_t> sector, int index) {
  const size_t at = kEntriesOffset + static_cast<size_t>(index) * kEntryBytes;
  return {sector[at], sector[at + 4], Le32At(sector, at + 8), Le32At(sector, at + 12)};
}

std::string_view MbrTypeName(uint8_t type) {
  switch (type) {
    case 0x01:
      return "FAT12";
    case 0x04:
    case 0x06:
    case 0x0E:
      return "FAT16";
    case 0x07:
      return "NTFS/exFAT";
    case 0x0B:
    case 0x0C:
      return "FAT32";
    case 0x27:
      return "recovery";
    case 0x82:
      return "Linux swap";
    case 0x83:
      return "Linux";
    case 0x8E:
      return "Linux LVM";
    case 0xA5:
    case 0xA6:
    case 0xA9:
      return "BSD";
    case 0xAF:
      return "HFS+";
    case 0xEF:
      return "EFI system";
    case 0xFD:
      return "Linux RAID";
    default:
      return {};
  }
}

Partition MakeMbrPartition(int number, int64_t first, const MbrEntry& entry) {
  Partition partition;
  partition.number = number;
  partition.first_sector = first;
  partition.sector_count = entry.count;
  char type[8];
  std::snprintf(type, sizeof(type), "0x%02X", entry.type);
  partition.type = type;
  partition.type_name = MbrTypeName(entry.type);
  return partition;
}

bool FitsIn(int64_t first, int64_t count, int64_t area_first, int64_t area_count) {
  return first >= area_first && count > 0 && first - area_first <= area_count - count;
}

// Follows the chain of extended boot records inside the container. Each
// record holds one logical partition (relative to itself) and a link to the
// next record (relative to the container's start). False for a chain that
// leaves the container, loops, runs past kMaxLogicalPartitions links or
// holds something other than those two entries.
bool ReadLogicalPartitions(RawHandle& handle, uint32_t bytes_per_sector, int64_t container_first,
                           int64_t container_count, std::vector<Partition>& partitions) {
  std::vector<uint8_t> sector(bytes_per_sector);
  std::set<int64_t> visited;
  int64_t record = container_first;
  int number = kPrimaryEntries + 1;
  for (int link = 0; link <= kMaxLogicalPartitions; ++link) {
    if (link == kMaxLogicalPartitions || !visited.insert(record).second) return false;
    if (!FitsIn(record, 1, container_first, container_count)) return false;
    if (!partition_detail::ReadBytesAt(handle, record * bytes_per_sector, sector)) return false;
    if (!HasBootSignature(sector)) {
      // A container whose first record was never written holds nothing yet;
      // a link to a sector that is no record is a broken chain.
      return link == 0;
    }
    const MbrEntry logical = EntryAt(sector, 0);
    const MbrEntry next = EntryAt(sector, 1);
    if (EntryAt(sector, 2).type != 0 || EntryAt(sector, 3).type != 0) return false;
    if (!logical.Empty()) {
      if (IsExtended(logical.type) || logical.first == 0) return false;
      const int64_t first = record + logical.first;
      if (!FitsIn(first, logical.count, container_first, container_count)) return false;
      partitions.push_back(MakeMbrPartition(number++, first, logical));
    }
    if (next.Empty()) return true;
    if (!IsExtended(next.type)) return false;
    record = container_first + next.first;
  }
  return false;
}

PartitionTable ReadMbr(RawHandle& handle, std::span<const uint8_t> sector,
                       uint32_t bytes_per_sector, int64_t sector_count) {
  PartitionTable table;
  std::array<MbrEntry, kPrimaryEntries> entries;
  for (int i = 0; i < kPrimaryEntries; ++i) {
    entries[i] = EntryAt(sector, i);
    // Only 00 and 80 are boot flags; anything else is boot code or noise.
    if (entries[i].status != 0x00 && entries[i].status != 0x80) return {};
  }
  if (std::any_of(entries.begin(), entries.end(),
                  [](const MbrEntry& entry) { return entry.type == kProtectiveGpt; })) {
    return partition_detail::ReadGpt(handle, bytes_per_sector, sector_count);
  }
  std::vector<Partition> partitions;
  bool extended_seen = false;
  for (int i = 0; i < kPrimaryEntries; ++i) {
    const MbrEntry& entry = entries[i];
    if (entry.Empty()) continue;
    // Sector 0 is the table itself; an entry that starts there or leaves the
    // disk describes some other disk, or none.
    if (entry.first == 0 || !FitsIn(entry.first, entry.count, 0, sector_count)) return {};
    if (IsExtended(entry.type)) {
      if (extended_seen) return {};
      extended_seen = true;
      if (!ReadLogicalPartitions(handle, bytes_per_sector, entry.first, entry.count, partitions)) {
        return {};
      }
      continue;
    }
    partitions.push_back(MakeMbrPartition(i + 1, entry.first, entry));
  }
  if (partitions.empty() || !partition_detail::SortWithoutOverlap(partitions)) return {};
  table.scheme = PartitionScheme::kMbr;
  table.partitions = std::move(partitions);
  return table;
}

}  // namespace

namespace partition_detail {

bool ReadBytesAt(RawHandle& handle, int64_t offset, std::span<uint8_t> dest) {
  if (offset < 0 || handle.Seek(offset, SeekOrigin::kBegin) != offset) return false;
  size_t done = 0;
  while (done < dest.size()) {
    const int64_t got = handle.Read(dest.subspan(done));
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

bool SortWithoutOverlap(std::vector<Partition>& partitions) {
  std::sort(partitions.begin(), partitions.end(),
            [](const Partition& a, const Partition& b) { return a.first_sector < b.first_sector; });
  for (size_t i = 1; i < partitions.size(); ++i) {
    if (partitions[i].first_sector <= partitions[i - 1].LastSector()) return false;
  }
  return true;
}

}  // namespace partition_detail

std::string_view PartitionSchemeName(PartitionScheme scheme) {
  switch (scheme) {
    case PartitionScheme::kMbr:
      return "MBR";
    case PartitionScheme::kGpt:
      return "GPT";
    case PartitionScheme::kNone:
      break;
  }
  return "none";
}

PartitionTable ReadPartitionTable(RawHandle& handle, uint32_t bytes_per_sector,
                                  int64_t sector_count) {
  if (bytes_per_sector < kBootBytes || sector_count < 2) return {};
  std::vector<uint8_t> sector(bytes_per_sector);
  if (!partition_detail::ReadBytesAt(handle, 0, sector) || !HasBootSignature(sector)) return {};
  PartitionTable table = ReadMbr(handle, sector, bytes_per_sector, sector_count);
  std::array<uint8_t, kBootBytes> boot{};
  for (Partition& partition : table.partitions) {
    if (partition_detail::ReadBytesAt(handle, partition.first_sector * bytes_per_sector, boot)) {
      partition.boot = ProbeBootBytes(boot);
    }
  }
  return table;
}

}  // namespace officecarve
