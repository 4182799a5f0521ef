#pragma once

// Where things lie in the well-formed sample documents, so a test can damage
// a chosen part. The samples are trusted here; the code under test is not.
#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace officecarve::testing {

inline uint32_t SampleU32(std::span<const uint8_t> bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
         (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

inline uint16_t SampleU16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline void PutSampleU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

struct ZipEntryLayout {
  std::string name;
  size_t central_offset = 0;
  size_t local_offset = 0;
  size_t data_offset = 0;
  size_t compressed = 0;
};

// The entries of a ZIP without an archive comment, in central-directory order.
inline std::vector<ZipEntryLayout> ZipEntries(std::span<const uint8_t> zip) {
  const size_t end = zip.size() - 22;
  const uint16_t count = SampleU16(zip, end + 10);
  size_t at = SampleU32(zip, end + 16);
  std::vector<ZipEntryLayout> entries;
  for (uint16_t i = 0; i < count; ++i) {
    const uint16_t name_length = SampleU16(zip, at + 28);
    ZipEntryLayout entry;
    entry.name.assign(zip.begin() + at + 46, zip.begin() + at + 46 + name_length);
    entry.compressed = SampleU32(zip, at + 20);
    entry.central_offset = at;
    entry.local_offset = SampleU32(zip, at + 42);
    const size_t local = entry.local_offset;
    entry.data_offset = local + 30 + SampleU16(zip, local + 26) + SampleU16(zip, local + 28);
    entries.push_back(entry);
    at += 46 + name_length + SampleU16(zip, at + 30) + SampleU16(zip, at + 32);
  }
  return entries;
}

// The entry with the most compressed bytes.
inline ZipEntryLayout LargestZipEntry(std::span<const uint8_t> zip) {
  ZipEntryLayout largest;
  for (const ZipEntryLayout& entry : ZipEntries(zip)) {
    if (entry.compressed > largest.compressed) largest = entry;
  }
  return largest;
}

inline void OverwriteWithNoise(std::vector<uint8_t>& bytes, size_t at, size_t count,
                               uint32_t seed) {
  std::mt19937 random(seed);
  for (size_t i = at; i < at + count && i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(random());
  }
}

}  // namespace officecarve::testing
