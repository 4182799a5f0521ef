#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace officecarve::testimage {

// Boot-sector fields are written as given, so a test can also ask for absurd
// values (0 bytes per sector, a FAT size that does not fit) to see them refused.
struct FatBootParams {
  uint16_t bytes_per_sector = 512;
  uint8_t sectors_per_cluster = 4;
  uint16_t reserved_sectors = 1;
  uint8_t fat_count = 2;
  uint32_t fat_size = 200;
  uint16_t root_entries = 512;
  uint64_t total_sectors = 0;  // 0: the image's length in these sectors
  std::string label = "NO NAME";
};

struct ExFatBootParams {
  uint8_t bytes_per_sector_shift = 9;
  uint8_t sectors_per_cluster_shift = 3;
  uint32_t cluster_heap_offset = 2048;
  uint64_t volume_length = 0;  // in sectors; 0: the image's length
};

struct NtfsBootParams {
  uint16_t bytes_per_sector = 512;
  uint8_t sectors_per_cluster = 8;
};

// A raw volume image in memory, all zeros at first, that tests fill sector by
// sector: a boot sector, files at chosen sectors (whole, scattered or around
// gaps), directory sectors and noise that no scan takes for a file.
class ImageBuilder {
 public:
  // Throws std::invalid_argument for a zero sector size.
  ImageBuilder(uint64_t sector_count, uint32_t bytes_per_sector = 512);

  uint32_t BytesPerSector() const { return bytes_per_sector_; }
  uint64_t SectorCount() const { return sector_count_; }

  // Each replaces the first 512 bytes of the image (and the rest of sector 0)
  // with a boot sector of that file system ending in 55 AA.
  void WriteFat12Boot(const FatBootParams& params);
  void WriteFat16Boot(const FatBootParams& params);
  void WriteFat32Boot(const FatBootParams& params);
  void WriteNtfsBoot(const NtfsBootParams& params);
  void WriteExFatBoot(const ExFatBootParams& params);

  // Reserved + FATs + root-directory sectors, the root directory's sectors
  // rounded down as a boot-sector reader computes them. Throws
  // std::invalid_argument for 0 bytes per sector.
  static uint64_t FatFirstDataSector(const FatBootParams& params);

  // Copies bytes to the image from the start of `sector`. Throws
  // std::out_of_range when they do not fit.
  void Place(int64_t sector, std::span<const uint8_t> bytes);
  // Lays a file over the given sectors in order, a sector's worth each, the
  // last one possibly partial; sectors past the file's end are left alone.
  // Throws std::invalid_argument when the sectors cannot hold the file and
  // std::out_of_range when one lies outside the image; nothing is written then.
  void PlaceAcross(std::span<const uint8_t> bytes, std::span<const int64_t> sectors);
  // Lays a file from `start` on, stepping over every gap [first, last]
  // (inclusive) it meets; returns the sectors used. Throws like PlaceAcross,
  // and std::invalid_argument for a gap whose first sector exceeds its last.
  std::vector<int64_t> PlaceFragmented(int64_t start, std::span<const uint8_t> bytes,
                                       std::span<const std::pair<int64_t, int64_t>> gaps);

  // Deterministic filler for sectors first..last. Every sector (and every
  // 512-byte block) starts 01 xx xx xx 01 with an attribute byte of 3F at
  // offset 11, so it matches no file signature and fails the FAT directory
  // test at its first entry; the bytes "PK" never occur, so no ZIP record
  // signature can be found in it either.
  void FillNoise(int64_t first_sector, int64_t last_sector, uint32_t seed);

  // A FAT directory sector: "." and "..", then one archive entry (attribute 20,
  // valid dates) per 11-character 8.3 name ("README  TXT"), zeros after.
  void PlaceFatDirectory(int64_t sector, std::span<const std::string> short_names);
  // Throws std::invalid_argument for a name that is not 11 characters or for
  // more names than the sector holds.
  static std::vector<uint8_t> FatDirectorySector(uint32_t bytes_per_sector,
                                                 std::span<const std::string> short_names);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  std::vector<uint8_t>& MutableBytes() { return bytes_; }
  // A copy, for a MemoryHandle that outlives the builder.
  std::shared_ptr<const std::vector<uint8_t>> Share() const;
  // Throws std::runtime_error when the file cannot be written in full.
  void WriteTo(const std::string& path) const;

 private:
  // The byte offset of `sector` after checking that `count` bytes fit there.
  size_t CheckedOffset(int64_t sector, size_t count) const;
  std::span<uint8_t> FreshBootSector();
  void WriteFatCommon(const FatBootParams& params, uint64_t total_sectors);
  void WriteFat1xBoot(const FatBootParams& params, std::string_view type);
  uint64_t SectorsOf(uint64_t sector_bytes) const;

  uint64_t sector_count_;
  uint32_t bytes_per_sector_;
  std::vector<uint8_t> bytes_;
};

// Reads a whole file into memory; throws std::runtime_error on failure.
std::vector<uint8_t> ReadFileBytes(const std::string& path);

// Deterministic pseudo-random bytes (xorshift), for filler and stand-in
// "foreign" file content. Seed 0 is as good as any other.
std::vector<uint8_t> PseudoRandomBytes(size_t count, uint32_t seed);

}  // namespace officecarve::testimage
