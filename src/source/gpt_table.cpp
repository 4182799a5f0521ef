// The GUID partition table: a header in the second sector (and a copy in the
// last one) with CRC-32s of itself and of its entry array.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "core/byte_order.h"
#include "platform/raw_handle.h"
#include "source/partition_table.h"

namespace officecarve::partition_detail {
namespace {

constexpr size_t kHeaderMinBytes = 92;
constexpr uint32_t kEntryMinBytes = 128;
constexpr uint32_t kEntryMaxBytes = 4096;
constexpr size_t kNameOffset = 56;
constexpr size_t kNameUnits = 36;
// Disks with 4096-byte sectors keep their table in those sectors even when
// their image is read in 512-byte units.
constexpr uint32_t kLargeSectorBytes = 4096;

struct GptHeader {
  uint64_t first_usable = 0;
  uint64_t last_usable = 0;
  uint64_t entries_lba = 0;
  uint32_t entry_count = 0;
  uint32_t entry_bytes = 0;
  uint32_t entries_crc = 0;
};

uint32_t Crc32(std::span<const uint8_t> bytes) {
  return static_cast<uint32_t>(
      crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

// The header at `lba` when its signature, size, checksum and fields hold for
// a disk of lba_count sectors of lba_bytes.
std::optional<GptHeader> ReadHeader(RawHandle& handle, uint32_t lba_bytes, uint64_t lba,
                                    uint64_t lba_count) {
  std::vector<uint8_t> sector(lba_bytes);
  if (!ReadBytesAt(handle, static_cast<int64_t>(lba * lba_bytes), sector)) return std::nullopt;
  if (std::memcmp(sector.data(), "EFI PART", 8) != 0) return std::nullopt;
  const uint32_t header_bytes = Le32At(sector, 12);
  if (header_bytes < kHeaderMinBytes || header_bytes > lba_bytes) return std::nullopt;
  const uint32_t stored_crc = Le32At(sector, 16);
  std::memset(sector.data() + 16, 0, 4);
  if (Crc32(std::span(sector).first(header_bytes)) != stored_crc) return std::nullopt;
  if (Le64At(sector, 24) != lba) return std::nullopt;
  GptHeader header;
  header.first_usable = Le64At(sector, 40);
  header.last_usable = Le64At(sector, 48);
  header.entries_lba = Le64At(sector, 72);
  header.entry_count = Le32At(sector, 80);
  header.entry_bytes = Le32At(sector, 84);
  header.entries_crc = Le32At(sector, 88);
  const uint64_t array_bytes = uint64_t{header.entry_count} * header.entry_bytes;
  if (header.entry_bytes < kEntryMinBytes || header.entry_bytes > kEntryMaxBytes ||
      header.entry_bytes % kEntryMinBytes != 0 || header.entry_count == 0 ||
      array_bytes > kMaxGptEntryBytes) {
    return std::nullopt;
  }
  const uint64_t array_lbas = (array_bytes + lba_bytes - 1) / lba_bytes;
  if (header.entries_lba < 1 || header.entries_lba >= lba_count ||
      array_lbas > lba_count - header.entries_lba) {
    return std::nullopt;
  }
  if (header.first_usable > header.last_usable || header.last_usable >= lba_count) {
    return std::nullopt;
  }
  return header;
}

void AppendUtf8(std::string& out, uint32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

// The entry's UTF-16LE name up to its first NUL; a lone surrogate becomes
// U+FFFD.
std::string EntryName(std::span<const uint8_t> entry) {
  std::string name;
  for (size_t unit = 0; unit < kNameUnits; ++unit) {
    uint32_t code = Le16At(entry, kNameOffset + 2 * unit);
    if (code == 0) break;
    if (code >= 0xD800 && code < 0xDC00 && unit + 1 < kNameUnits) {
      const uint32_t low = Le16At(entry, kNameOffset + 2 * (unit + 1));
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++unit;
      } else {
        code = 0xFFFD;
      }
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    AppendUtf8(name, code);
  }
  return name;
}

// "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7": the first three fields are stored
// little-endian, the last two as bytes.
std::string GuidText(std::span<const uint8_t> guid) {
  char text[37];
  std::snprintf(text, sizeof(text), "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                Le32At(guid, 0), Le16At(guid, 4), Le16At(guid, 6), guid[8], guid[9], guid[10],
                guid[11], guid[12], guid[13], guid[14], guid[15]);
  return text;
}

std::string_view GptTypeName(std::string_view guid) {
  struct Known {
    std::string_view guid;
    std::string_view name;
  };
  static constexpr Known kKnown[] = {
      {"EBD0A0A2-B9E5-4433-87C0-68B6B72699C7", "basic data"},
      {"C12A7328-F81F-11D2-BA4B-00A0C93EC93B", "EFI system"},
      {"E3C9E316-0B5C-4DB8-817D-F92DF00215AE", "Microsoft reserved"},
      {"DE94BBA4-06D1-4D40-A16A-BFD50179D6AC", "Windows recovery"},
      {"0FC63DAF-8483-4772-8E79-3D69D8477DE4", "Linux filesystem"},
      {"0657FD6D-A4AB-43C4-84E5-0933C84B4F4F", "Linux swap"},
      {"E6D6D379-F507-44C2-A23C-238F2A3DF928", "Linux LVM"},
      {"48465300-0000-11AA-AA11-00306543ECAC", "HFS+"},
      {"7C3457EF-0000-11AA-AA11-00306543ECAC", "APFS"},
      {"21686148-6449-6E6F-744E-656564454649", "BIOS boot"},
  };
  for (const Known& known : kKnown) {
    if (known.guid == guid) return known.name;
  }
  return {};
}

// The partitions of a header whose entry array checks out; nullopt otherwise.
std::optional<std::vector<Partition>> ReadEntries(RawHandle& handle, const GptHeader& header,
                                                  uint32_t lba_bytes, uint32_t bytes_per_sector) {
  std::vector<uint8_t> entries(size_t{header.entry_count} * header.entry_bytes);
  if (!ReadBytesAt(handle, static_cast<int64_t>(header.entries_lba * lba_bytes), entries)) {
    return std::nullopt;
  }
  if (Crc32(entries) != header.entries_crc) return std::nullopt;
  const uint64_t ratio = lba_bytes / bytes_per_sector;
  std::vector<Partition> partitions;
  for (uint32_t index = 0; index < header.entry_count; ++index) {
    const std::span<const uint8_t> entry =
        std::span<const uint8_t>(entries).subspan(size_t{index} * header.entry_bytes, 128);
    const std::span<const uint8_t> type = entry.first(16);
    if (std::all_of(type.begin(), type.end(), [](uint8_t byte) { return byte == 0; })) continue;
    const uint64_t first = Le64At(entry, 32);
    const uint64_t last = Le64At(entry, 40);
    if (first > last || first < header.first_usable || last > header.last_usable) {
      return std::nullopt;
    }
    Partition partition;
    partition.number = static_cast<int>(index) + 1;
    partition.first_sector = static_cast<int64_t>(first * ratio);
    partition.sector_count = static_cast<int64_t>((last - first + 1) * ratio);
    partition.type = GuidText(type);
    partition.type_name = GptTypeName(partition.type);
    partition.name = EntryName(entry);
    partitions.push_back(std::move(partition));
  }
  if (!SortWithoutOverlap(partitions)) return std::nullopt;
  return partitions;
}

}  // namespace

PartitionTable ReadGpt(RawHandle& handle, uint32_t bytes_per_sector, int64_t sector_count) {
  const uint64_t disk_bytes = static_cast<uint64_t>(sector_count) * bytes_per_sector;
  std::vector<uint32_t> lba_sizes = {bytes_per_sector};
  if (bytes_per_sector < kLargeSectorBytes) lba_sizes.push_back(kLargeSectorBytes);
  for (const uint32_t lba_bytes : lba_sizes) {
    const uint64_t lba_count = disk_bytes / lba_bytes;
    if (lba_count < 3) continue;
    // The backup header in the last sector stands in for a damaged first one.
    for (const uint64_t lba : {uint64_t{1}, lba_count - 1}) {
      const std::optional<GptHeader> header = ReadHeader(handle, lba_bytes, lba, lba_count);
      if (!header) continue;
      std::optional<std::vector<Partition>> partitions =
          ReadEntries(handle, *header, lba_bytes, bytes_per_sector);
      if (!partitions || partitions->empty()) continue;
      PartitionTable table;
      table.scheme = PartitionScheme::kGpt;
      table.partitions = std::move(*partitions);
      return table;
    }
  }
  return {};
}

}  // namespace officecarve::partition_detail
