#include <zlib.h>

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

}  // namespace officecarve::testimage
