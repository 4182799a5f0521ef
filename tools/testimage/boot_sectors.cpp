// The boot-sector writers of ImageBuilder: the fields a boot-sector probe
// reads, plus enough of the rest that the sector looks like the real thing.
#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "testimage/image_builder.h"
#include "testimage/little_endian.h"

namespace officecarve::testimage {
namespace {

constexpr size_t kBootBytes = 512;
constexpr uint32_t kVolumeSerial = 0x1234ABCD;
constexpr std::string_view kOemName = "TESTIMG ";

void PutBootEnd(std::span<uint8_t> boot) {
  boot[510] = 0x55;
  boot[511] = 0xAA;
}

void PutLabel(std::span<uint8_t> boot, size_t offset, const std::string& label) {
  std::string padded = label.substr(0, 11);
  padded.resize(11, ' ');
  PutText(boot, offset, padded);
}

void PutDiskGeometry(std::span<uint8_t> boot) {
  PutU8(boot, 0x15, 0xF8);  // media: fixed disk
  PutU16(boot, 0x18, 63);   // sectors per track
  PutU16(boot, 0x1A, 255);  // heads
}

}  // namespace

std::span<uint8_t> ImageBuilder::FreshBootSector() {
  if (bytes_.size() < kBootBytes) throw std::out_of_range("image too small for a boot sector");
  const size_t cleared = std::min(bytes_.size(), std::max<size_t>(kBootBytes, bytes_per_sector_));
  std::fill_n(bytes_.begin(), cleared, uint8_t{0});
  return std::span<uint8_t>(bytes_).first(kBootBytes);
}

uint64_t ImageBuilder::SectorsOf(uint64_t sector_bytes) const {
  return sector_bytes == 0 ? sector_count_ : bytes_.size() / sector_bytes;
}

uint64_t ImageBuilder::FatFirstDataSector(const FatBootParams& params) {
  if (params.bytes_per_sector == 0) throw std::invalid_argument("0 bytes per sector");
  const uint64_t root_sectors = uint64_t{params.root_entries} * 32 / params.bytes_per_sector;
  return uint64_t{params.reserved_sectors} + uint64_t{params.fat_count} * params.fat_size +
         root_sectors;
}

void ImageBuilder::WriteFatCommon(const FatBootParams& params, uint64_t total_sectors) {
  std::span<uint8_t> boot(bytes_.data(), kBootBytes);
  PutText(boot, 3, kOemName);
  PutU16(boot, 0x0B, params.bytes_per_sector);
  PutU8(boot, 0x0D, params.sectors_per_cluster);
  PutU16(boot, 0x0E, params.reserved_sectors);
  PutU8(boot, 0x10, params.fat_count);
  PutU16(boot, 0x11, params.root_entries);
  PutDiskGeometry(boot);
  PutU32(boot, 0x20, static_cast<uint32_t>(std::min<uint64_t>(total_sectors, UINT32_MAX)));
  PutBootEnd(boot);
}

void ImageBuilder::WriteFat1xBoot(const FatBootParams& params, std::string_view type) {
  if (params.fat_size > UINT16_MAX) throw std::invalid_argument("FAT size does not fit 16 bits");
  const uint64_t total =
      params.total_sectors ? params.total_sectors : SectorsOf(params.bytes_per_sector);
  std::span<uint8_t> boot = FreshBootSector();
  WriteFatCommon(params, total);
  boot[0] = 0xEB;
  boot[1] = 0x3C;
  boot[2] = 0x90;
  if (total <= UINT16_MAX) {
    PutU16(boot, 0x13, static_cast<uint16_t>(total));
    PutU32(boot, 0x20, 0);
  }
  PutU16(boot, 0x16, static_cast<uint16_t>(params.fat_size));
  PutU8(boot, 0x24, 0x80);  // drive number
  PutU8(boot, 0x26, 0x29);  // extended boot signature
  PutU32(boot, 0x27, kVolumeSerial);
  PutLabel(boot, 0x2B, params.label);
  PutText(boot, 0x36, type);
}

void ImageBuilder::WriteFat12Boot(const FatBootParams& params) {
  WriteFat1xBoot(params, "FAT12   ");
}

void ImageBuilder::WriteFat16Boot(const FatBootParams& params) {
  WriteFat1xBoot(params, "FAT16   ");
}

void ImageBuilder::WriteFat32Boot(const FatBootParams& params) {
  const uint64_t total =
      params.total_sectors ? params.total_sectors : SectorsOf(params.bytes_per_sector);
  std::span<uint8_t> boot = FreshBootSector();
  WriteFatCommon(params, total);
  boot[0] = 0xEB;
  boot[1] = 0x58;
  boot[2] = 0x90;
  PutU32(boot, 0x24, params.fat_size);
  PutU32(boot, 0x2C, 2);    // root directory cluster
  PutU16(boot, 0x30, 1);    // FS information sector
  PutU16(boot, 0x32, 6);    // backup boot sector
  PutU8(boot, 0x40, 0x80);  // drive number
  PutU8(boot, 0x42, 0x29);  // extended boot signature
  PutU32(boot, 0x43, kVolumeSerial);
  PutLabel(boot, 0x47, params.label);
  PutText(boot, 0x52, "FAT32   ");
}

void ImageBuilder::WriteNtfsBoot(const NtfsBootParams& params) {
  const uint64_t total = SectorsOf(params.bytes_per_sector);
  std::span<uint8_t> boot = FreshBootSector();
  boot[0] = 0xEB;
  boot[1] = 0x52;
  boot[2] = 0x90;
  PutText(boot, 3, "NTFS    ");
  PutU16(boot, 0x0B, params.bytes_per_sector);
  PutU8(boot, 0x0D, params.sectors_per_cluster);
  PutDiskGeometry(boot);
  PutU64(boot, 0x28, total == 0 ? 0 : total - 1);  // the last sector holds the backup boot
  PutU64(boot, 0x30, 4);                           // MFT cluster
  PutU64(boot, 0x38, 2);                           // MFT mirror cluster
  PutU8(boot, 0x40, 0xF6);                         // MFT record size: 2^10 bytes
  PutU8(boot, 0x44, 1);                            // clusters per index block
  PutU64(boot, 0x48, kVolumeSerial);
  PutBootEnd(boot);
}

void ImageBuilder::WriteExFatBoot(const ExFatBootParams& params) {
  const uint64_t sector_bytes =
      params.bytes_per_sector_shift < 64 ? uint64_t{1} << params.bytes_per_sector_shift : 0;
  const uint64_t length = params.volume_length ? params.volume_length : SectorsOf(sector_bytes);
  const uint32_t fat_offset = std::min<uint32_t>(24, params.cluster_heap_offset);
  const uint64_t heap_sectors =
      length > params.cluster_heap_offset ? length - params.cluster_heap_offset : 0;
  const uint64_t cluster_count =
      params.sectors_per_cluster_shift < 64 ? heap_sectors >> params.sectors_per_cluster_shift : 0;
  std::span<uint8_t> boot = FreshBootSector();
  boot[0] = 0xEB;
  boot[1] = 0x76;
  boot[2] = 0x90;
  PutText(boot, 3, "EXFAT   ");
  PutU64(boot, 0x48, length);
  PutU32(boot, 0x50, fat_offset);
  PutU32(boot, 0x54, params.cluster_heap_offset - fat_offset);
  PutU32(boot, 0x58, params.cluster_heap_offset);
  PutU32(boot, 0x5C, static_cast<uint32_t>(std::min<uint64_t>(cluster_count, UINT32_MAX)));
  PutU32(boot, 0x60, 4);  // root directory cluster
  PutU32(boot, 0x64, kVolumeSerial);
  PutU16(boot, 0x68, 0x0100);  // revision 1.0
  PutU8(boot, 0x6C, params.bytes_per_sector_shift);
  PutU8(boot, 0x6D, params.sectors_per_cluster_shift);
  PutU8(boot, 0x6E, 1);     // number of FATs
  PutU8(boot, 0x6F, 0x80);  // drive select
  PutU8(boot, 0x70, 0xFF);  // percent in use: unknown
  PutBootEnd(boot);
}

}  // namespace officecarve::testimage
