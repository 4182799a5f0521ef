#include <zlib.h>

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "testimage/doc_samples.h"
#include "testimage/little_endian.h"

namespace officecarve::testimage {
namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kDataDescriptorSignature = 0x08074B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndRecordSignature = 0x06054B50;
constexpr uint16_t kVersionStored = 10;
constexpr uint16_t kFlagDataDescriptor = 1 << 3;
// 2021-03-14 12:30:00 in the DOS encodings.
constexpr uint16_t kDosTime = (12 << 11) | (30 << 5);
constexpr uint16_t kDosDate = ((2021 - 1980) << 9) | (3 << 5) | 14;

size_t Append(std::vector<uint8_t>& bytes, size_t count) {
  const size_t at = bytes.size();
  bytes.resize(at + count, 0);
  return at;
}

void AppendText(std::vector<uint8_t>& bytes, const std::string& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
}

uint16_t CheckedU16(size_t value, const char* what) {
  if (value > std::numeric_limits<uint16_t>::max()) throw std::invalid_argument(what);
  return static_cast<uint16_t>(value);
}

uint32_t CheckedU32(size_t value, const char* what) {
  if (value >= std::numeric_limits<uint32_t>::max()) throw std::invalid_argument(what);
  return static_cast<uint32_t>(value);
}

}  // namespace

ZipPackage BuildZipPackage(const ZipSpec& recipe) {
  const uint16_t entry_count = CheckedU16(recipe.entries.size(), "too many ZIP entries");
  const uint16_t comment_length = CheckedU16(recipe.comment.size(), "ZIP comment too long");
  const uint16_t flags = recipe.data_descriptors ? kFlagDataDescriptor : 0;
  ZipPackage zip;
  std::vector<uint8_t>& out = zip.bytes;
  std::vector<uint32_t> crcs;

  for (const auto& [name, content] : recipe.entries) {
    const uint16_t name_length = CheckedU16(name.size(), "ZIP entry name too long");
    const uint32_t size = CheckedU32(content.size(), "ZIP entry too large");
    const uint32_t crc = static_cast<uint32_t>(
        crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(content.data()), size));
    crcs.push_back(crc);
    const size_t at = Append(out, 30);
    zip.local_header_offsets.push_back(at);
    PutU32(out, at, kLocalHeaderSignature);
    PutU16(out, at + 4, kVersionStored);
    PutU16(out, at + 6, flags);
    PutU16(out, at + 8, 0);  // stored
    PutU16(out, at + 10, kDosTime);
    PutU16(out, at + 12, kDosDate);
    if (!recipe.data_descriptors) {
      PutU32(out, at + 14, crc);
      PutU32(out, at + 18, size);
      PutU32(out, at + 22, size);
    }
    PutU16(out, at + 26, name_length);
    AppendText(out, name);
    AppendText(out, content);
    if (recipe.data_descriptors) {
      if (recipe.descriptor_signatures) PutU32(out, Append(out, 4), kDataDescriptorSignature);
      const size_t descriptor = Append(out, 12);
      PutU32(out, descriptor, crc);
      PutU32(out, descriptor + 4, size);
      PutU32(out, descriptor + 8, size);
    }
  }

  zip.central_directory_offset = out.size();
  for (size_t i = 0; i < recipe.entries.size(); ++i) {
    const auto& [name, content] = recipe.entries[i];
    const size_t at = Append(out, 46);
    zip.central_header_offsets.push_back(at);
    PutU32(out, at, kCentralHeaderSignature);
    PutU16(out, at + 4, kVersionStored);  // made by
    PutU16(out, at + 6, kVersionStored);  // needed
    PutU16(out, at + 8, flags);
    PutU16(out, at + 12, kDosTime);
    PutU16(out, at + 14, kDosDate);
    PutU32(out, at + 16, crcs[i]);
    PutU32(out, at + 20, static_cast<uint32_t>(content.size()));
    PutU32(out, at + 24, static_cast<uint32_t>(content.size()));
    PutU16(out, at + 28, static_cast<uint16_t>(name.size()));
    PutU32(out, at + 42, CheckedU32(zip.local_header_offsets[i], "ZIP too large"));
    AppendText(out, name);
  }

  zip.end_record_offset = out.size();
  const size_t at = Append(out, 22);
  PutU32(out, at, kEndRecordSignature);
  PutU16(out, at + 8, entry_count);
  PutU16(out, at + 10, entry_count);
  PutU32(out, at + 12,
         CheckedU32(zip.end_record_offset - zip.central_directory_offset,
                    "ZIP central directory too large"));
  PutU32(out, at + 16, CheckedU32(zip.central_directory_offset, "ZIP too large"));
  PutU16(out, at + 20, comment_length);
  AppendText(out, recipe.comment);
  return zip;
}

std::vector<uint8_t> MakeZipPackage(const ZipSpec& recipe) { return BuildZipPackage(recipe).bytes; }

namespace {

struct CentralDirectory {
  size_t end_record = 0;
  size_t first_header = 0;
  std::vector<size_t> headers;
};

uint16_t GetU16(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

CentralDirectory FindCentralDirectory(const std::vector<uint8_t>& zip) {
  CentralDirectory directory;
  if (zip.size() < 22) throw std::invalid_argument("no ZIP end record");
  size_t end = zip.size() - 22;
  while (GetU32(zip, end) != kEndRecordSignature) {
    if (end == 0) throw std::invalid_argument("no ZIP end record");
    --end;
  }
  directory.end_record = end;
  directory.first_header = GetU32(zip, end + 16);
  size_t at = directory.first_header;
  for (uint16_t i = 0; i < GetU16(zip, end + 10); ++i) {
    if (at + 46 > end || GetU32(zip, at) != kCentralHeaderSignature) {
      throw std::invalid_argument("ZIP central directory out of place");
    }
    directory.headers.push_back(at);
    at += 46 + GetU16(zip, at + 28) + GetU16(zip, at + 30) + GetU16(zip, at + 32);
  }
  return directory;
}

}  // namespace

std::vector<size_t> ZipLocalHeaderOffsets(const std::vector<uint8_t>& zip) {
  std::vector<size_t> offsets;
  for (const size_t header : FindCentralDirectory(zip).headers) {
    offsets.push_back(GetU32(zip, header + 42));
  }
  std::sort(offsets.begin(), offsets.end());
  return offsets;
}

std::vector<uint8_t> AlignZipEntry(const std::vector<uint8_t>& zip, size_t entry, size_t boundary) {
  const std::vector<size_t> locals = ZipLocalHeaderOffsets(zip);
  if (entry == 0 || entry >= locals.size()) throw std::invalid_argument("no such ZIP entry");
  const size_t previous = locals[entry - 1];
  // An extra block is at least its 4-byte header (an unassigned id and its size).
  size_t padding = (boundary - locals[entry] % boundary) % boundary;
  if (padding < 4) padding += boundary;
  const size_t extra_length = GetU16(zip, previous + 28);
  const size_t extra_end = previous + 30 + GetU16(zip, previous + 26) + extra_length;
  std::vector<uint8_t> out(zip.begin(), zip.begin() + static_cast<std::ptrdiff_t>(extra_end));
  const size_t block = Append(out, padding);
  PutU16(out, block, 0x7A7A);
  PutU16(out, block + 2, CheckedU16(padding - 4, "padding too long"));
  PutU16(out, previous + 28, CheckedU16(extra_length + padding, "extra field too long"));
  out.insert(out.end(), zip.begin() + static_cast<std::ptrdiff_t>(extra_end), zip.end());

  const CentralDirectory directory = FindCentralDirectory(zip);
  for (const size_t header : directory.headers) {
    const uint32_t local = GetU32(zip, header + 42);
    if (local > previous)
      PutU32(out, header + padding + 42, CheckedU32(local + padding, "ZIP too large"));
  }
  PutU32(out, directory.end_record + padding + 16,
         CheckedU32(directory.first_header + padding, "ZIP too large"));
  return out;
}

}  // namespace officecarve::testimage
