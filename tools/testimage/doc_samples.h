#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace officecarve::testimage {

// Small, well-formed synthetic documents for the carver tests. Each generator
// also reports where it put things, so a test can damage a chosen field.

struct CompoundFileSpec {
  // One directory entry (a stream under the root) per name, in this order.
  // Names are taken byte by byte as UTF-16 code units, at most 31 of them.
  std::vector<std::string> stream_names;
  // Bytes of stream i; streams without an entry here get data_sectors whole
  // sectors. Streams under 4096 bytes live in the mini stream, as they must.
  std::vector<uint32_t> stream_sizes;
  // The content of stream i, which then also gives its size; streams without
  // an entry here (or an empty one) get a pattern of letters.
  std::vector<std::vector<uint8_t>> stream_contents;
  // Some writers leave the root entry's name empty.
  std::string root_name = "Root Entry";
  uint32_t data_sectors = 8;
  // The FAT is made large enough to hold at least this many free entries
  // after the last used one.
  uint32_t extra_free_fat_entries = 0;
  // Lists the FAT sectors in a DIFAT sector instead of the header.
  bool use_difat = false;
  // 9 (512-byte sectors, version 3) or 12 (4096-byte sectors, version 4).
  uint16_t sector_shift = 9;
};

struct CompoundFileStream {
  std::string name;
  uint32_t size = 0;
  bool in_mini_stream = false;
  // Its chain in order: mini-sector numbers in the mini stream, sector
  // numbers otherwise; empty when size is 0.
  std::vector<uint32_t> sectors;
};

// Sector numbers count from the first sector after the header.
struct CompoundFile {
  static constexpr size_t kByteOrderOffset = 28;  // u32 0x0009FFFE for 512-byte sectors
  static constexpr size_t kFatSectorCountOffset = 44;
  static constexpr size_t kFirstDirectorySectorOffset = 48;
  static constexpr size_t kFirstMiniFatSectorOffset = 60;
  static constexpr size_t kFirstDifatSectorOffset = 68;
  static constexpr size_t kDifatSectorCountOffset = 72;
  static constexpr size_t kHeaderFatListOffset = 76;  // 109 u32 FAT sector numbers
  static constexpr size_t kHeaderFatListEntries = 109;
  static constexpr size_t kDirectoryEntryBytes = 128;

  std::vector<uint8_t> bytes;
  uint32_t sector_size = 512;
  std::vector<uint32_t> fat_sectors;
  std::vector<uint32_t> difat_sectors;
  std::vector<uint32_t> directory_sectors;
  std::vector<uint32_t> mini_fat_sectors;
  std::vector<uint32_t> mini_stream_sectors;
  std::vector<CompoundFileStream> streams;
  // The highest sector with a used FAT entry: the file is (this + 2) sectors.
  uint32_t last_used_sector = 0;

  size_t SectorOffset(uint32_t sector) const { return (size_t{sector} + 1) * sector_size; }
  // Where FAT entry `index` (the next sector after sector `index`) is stored.
  size_t FatEntryOffset(uint32_t index) const;
  // Where directory entry `entry` starts (0 is the root entry).
  size_t DirectoryEntryOffset(uint32_t entry) const;
  uint32_t U32At(size_t offset) const;
  void SetU32(size_t offset, uint32_t value);
};

// Throws std::invalid_argument for an unsupported sector shift or a name
// longer than 31 characters.
CompoundFile BuildCompoundFile(const CompoundFileSpec& recipe);
std::vector<uint8_t> MakeCompoundFile(const CompoundFileSpec& recipe);

struct ZipSpec {
  std::vector<std::pair<std::string, std::string>> entries;  // name, content
  std::string comment;
  // Sizes and CRC after each entry's data instead of in its local header.
  bool data_descriptors = false;
  // Whether those descriptors begin with their optional signature.
  bool descriptor_signatures = true;
};

struct ZipPackage {
  std::vector<uint8_t> bytes;
  std::vector<size_t> local_header_offsets;
  std::vector<size_t> central_header_offsets;
  size_t central_directory_offset = 0;
  size_t end_record_offset = 0;
};

// A ZIP of stored (uncompressed) entries: local headers with their sizes,
// the central directory and the end record with the comment. Throws
// std::invalid_argument for more than 65,535 entries or a name or comment
// longer than 65,535 bytes.
ZipPackage BuildZipPackage(const ZipSpec& recipe);
std::vector<uint8_t> MakeZipPackage(const ZipSpec& recipe);

// The local header offsets of a ZIP's entries, read from its central
// directory, in file order. Throws std::invalid_argument when there is no
// end record or the directory runs outside the bytes.
std::vector<size_t> ZipLocalHeaderOffsets(const std::vector<uint8_t>& zip);

// A copy of a ZIP written by some program whose `entry`-th local header (in
// file order, from 1) starts at a multiple of `boundary`: the local header
// before it gets an extra field of padding, and the central directory's
// offsets move with it. Everything else stays as the producer wrote it.
std::vector<uint8_t> AlignZipEntry(const std::vector<uint8_t>& zip, size_t entry, size_t boundary);

}  // namespace officecarve::testimage
