#include "testimage/image_builder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>

#include "testimage/little_endian.h"

namespace officecarve::testimage {
namespace {

constexpr size_t kDirectoryEntryBytes = 32;
constexpr size_t kShortNameLength = 11;
// 2021-03-14, 12:30:00 in the FAT date and time encodings.
constexpr uint16_t kDirectoryDate = ((2021 - 1980) << 9) | (3 << 5) | 14;
constexpr uint16_t kDirectoryTime = (12 << 11) | (30 << 5);

class XorShift32 {
 public:
  // xorshift stays at 0 forever once there, so seed 0 is mapped elsewhere.
  explicit XorShift32(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

 private:
  uint32_t state_;
};

void FillPseudoRandom(std::span<uint8_t> bytes, uint32_t seed) {
  XorShift32 generator(seed);
  size_t i = 0;
  for (; i + 4 <= bytes.size(); i += 4) PutU32(bytes, i, generator.Next());
  const uint32_t last = generator.Next();
  for (size_t k = 0; i < bytes.size(); ++i, ++k) bytes[i] = static_cast<uint8_t>(last >> (8 * k));
}

// Byte 0 = 01 rules out every signature that starts a sector (and, being a
// control byte, a FAT entry name); byte 4 = 01 rules out those tested at
// offset 4; attribute 3F at offset 11 makes the first entry fail the FAT
// directory test before its name is even looked at.
void DefuseBlockStart(std::span<uint8_t> bytes, size_t offset) {
  constexpr std::pair<size_t, uint8_t> kForced[] = {{0, 0x01}, {4, 0x01}, {11, 0x3F}};
  for (const auto& [at, value] : kForced) {
    if (offset + at < bytes.size()) bytes[offset + at] = value;
  }
}

}  // namespace

ImageBuilder::ImageBuilder(uint64_t sector_count, uint32_t bytes_per_sector)
    : sector_count_(sector_count), bytes_per_sector_(bytes_per_sector) {
  if (bytes_per_sector == 0) throw std::invalid_argument("0 bytes per sector");
  if (sector_count > std::numeric_limits<size_t>::max() / bytes_per_sector) {
    throw std::length_error("image too large");
  }
  bytes_.assign(sector_count * bytes_per_sector, 0);
}

size_t ImageBuilder::CheckedOffset(int64_t sector, size_t count) const {
  if (sector < 0 || static_cast<uint64_t>(sector) > sector_count_) {
    throw std::out_of_range("sector outside the image");
  }
  const size_t offset = static_cast<size_t>(sector) * bytes_per_sector_;
  if (count > bytes_.size() - offset) throw std::out_of_range("bytes run past the image's end");
  return offset;
}

void ImageBuilder::Place(int64_t sector, std::span<const uint8_t> bytes) {
  const size_t offset = CheckedOffset(sector, bytes.size());
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<ptrdiff_t>(offset));
}

void ImageBuilder::PlaceAcross(std::span<const uint8_t> bytes, std::span<const int64_t> sectors) {
  const size_t needed = (bytes.size() + bytes_per_sector_ - 1) / bytes_per_sector_;
  if (sectors.size() < needed) throw std::invalid_argument("sectors do not cover the file");
  for (size_t i = 0; i < needed; ++i) {
    CheckedOffset(sectors[i],
                  std::min<size_t>(bytes_per_sector_, bytes.size() - i * bytes_per_sector_));
  }
  for (size_t i = 0; i < needed; ++i) {
    Place(sectors[i],
          bytes.subspan(i * bytes_per_sector_,
                        std::min<size_t>(bytes_per_sector_, bytes.size() - i * bytes_per_sector_)));
  }
}

std::vector<int64_t> ImageBuilder::PlaceFragmented(
    int64_t start, std::span<const uint8_t> bytes,
    std::span<const std::pair<int64_t, int64_t>> gaps) {
  for (const auto& [first, last] : gaps) {
    if (first > last) throw std::invalid_argument("gap ends before it starts");
  }
  const size_t needed = (bytes.size() + bytes_per_sector_ - 1) / bytes_per_sector_;
  std::vector<int64_t> sectors;
  sectors.reserve(needed);
  int64_t sector = start;
  while (sectors.size() < needed) {
    // Gaps may touch or overlap, so keep stepping until no gap holds the sector.
    bool moved = true;
    while (moved) {
      moved = false;
      for (const auto& [first, last] : gaps) {
        if (sector >= first && sector <= last) {
          if (last == std::numeric_limits<int64_t>::max()) {
            throw std::out_of_range("gap runs to the end of the sector range");
          }
          sector = last + 1;
          moved = true;
        }
      }
    }
    sectors.push_back(sector);
    if (sectors.size() == needed) break;
    if (sector == std::numeric_limits<int64_t>::max()) {
      throw std::out_of_range("file runs past the last possible sector");
    }
    ++sector;
  }
  PlaceAcross(bytes, sectors);
  return sectors;
}

void ImageBuilder::FillNoise(int64_t first_sector, int64_t last_sector, uint32_t seed) {
  if (last_sector < first_sector) return;
  if (static_cast<uint64_t>(last_sector) >= sector_count_) {
    throw std::out_of_range("sector outside the image");
  }
  const size_t begin = CheckedOffset(first_sector, 0);
  const size_t end = (static_cast<size_t>(last_sector) + 1) * bytes_per_sector_;
  std::span<uint8_t> noise(bytes_.data() + begin, end - begin);
  FillPseudoRandom(noise, seed);
  for (size_t i = 0; i + 1 < noise.size(); ++i) {
    if (noise[i] == 'P' && noise[i + 1] == 'K') noise[i + 1] = 'k';
  }
  for (size_t offset = 0; offset < noise.size(); offset += bytes_per_sector_) {
    DefuseBlockStart(noise, offset);
  }
  for (size_t offset = 0; offset < noise.size(); offset += 512) DefuseBlockStart(noise, offset);
}

std::vector<uint8_t> ImageBuilder::FatDirectorySector(uint32_t bytes_per_sector,
                                                      std::span<const std::string> short_names) {
  const size_t entries = short_names.size() + 2;
  if (bytes_per_sector / kDirectoryEntryBytes < entries) {
    throw std::invalid_argument("too many names for one directory sector");
  }
  std::vector<uint8_t> sector(bytes_per_sector, 0);
  const auto put_entry = [&](size_t index, const std::string& name, uint8_t attribute,
                             uint16_t cluster, uint32_t size) {
    if (name.size() != kShortNameLength) throw std::invalid_argument("name is not 8.3: " + name);
    std::span<uint8_t> entry(sector.data() + index * kDirectoryEntryBytes, kDirectoryEntryBytes);
    PutText(entry, 0, name);
    PutU8(entry, 11, attribute);
    PutU16(entry, 14, kDirectoryTime);  // creation time
    PutU16(entry, 16, kDirectoryDate);  // creation date
    PutU16(entry, 18, kDirectoryDate);  // last access date
    PutU16(entry, 22, kDirectoryTime);
    PutU16(entry, 24, kDirectoryDate);
    PutU16(entry, 26, cluster);
    PutU32(entry, 28, size);
  };
  put_entry(0, ".          ", 0x10, 3, 0);
  put_entry(1, "..         ", 0x10, 0, 0);
  for (size_t i = 0; i < short_names.size(); ++i) {
    put_entry(i + 2, short_names[i], 0x20, static_cast<uint16_t>(10 + 4 * i),
              static_cast<uint32_t>(1000 + 100 * i));
  }
  return sector;
}

void ImageBuilder::PlaceFatDirectory(int64_t sector, std::span<const std::string> short_names) {
  Place(sector, FatDirectorySector(bytes_per_sector_, short_names));
}

std::shared_ptr<const std::vector<uint8_t>> ImageBuilder::Share() const {
  return std::make_shared<const std::vector<uint8_t>>(bytes_);
}

void ImageBuilder::WriteTo(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes_.data()),
            static_cast<std::streamsize>(bytes_.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write image " + path);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  return bytes;
}

std::vector<uint8_t> PseudoRandomBytes(size_t count, uint32_t seed) {
  std::vector<uint8_t> bytes(count);
  FillPseudoRandom(bytes, seed);
  return bytes;
}

}  // namespace officecarve::testimage
