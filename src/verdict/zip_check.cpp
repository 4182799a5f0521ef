// A ZIP package is checked as a careful reader would before trusting it: the
// central directory is found through the end record at the very end of the
// file, every entry's local header, data and descriptor must lie where the
// directory says without overlapping another entry, and every entry must
// unpack to the size and CRC-32 the directory lists.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "verdict/printable_name.h"
#include "verdict/verdict.h"
#include "verdict/zip_content.h"

namespace officecarve {
namespace {

using Problem = std::optional<std::string>;

constexpr uint32_t kLocalHeader = 0x04034B50;
constexpr uint32_t kCentralHeader = 0x02014B50;
constexpr uint32_t kEndRecord = 0x06054B50;
constexpr uint32_t kZip64Locator = 0x07064B50;
constexpr uint32_t kDescriptorSignature = 0x08074B50;
constexpr uint64_t kLocalFixedBytes = 30;
constexpr uint64_t kCentralFixedBytes = 46;
constexpr uint64_t kEndFixedBytes = 22;
constexpr uint64_t kZip64LocatorBytes = 20;
constexpr uint64_t kMaxCommentBytes = 0xFFFF;
constexpr uint16_t kFlagEncrypted = 1 << 0;
constexpr uint16_t kFlagDescriptor = 1 << 3;
constexpr uint16_t kFlagStrongEncryption = 1 << 6;
constexpr uint16_t kFlagsThatMustAgree = kFlagEncrypted | kFlagDescriptor;
constexpr uint32_t kZip64Marker32 = 0xFFFFFFFF;
constexpr uint16_t kZip64Marker16 = 0xFFFF;

struct EndRecord {
  uint64_t position = 0;
  uint32_t entry_count = 0;
  uint64_t directory_offset = 0;
};

struct Entry {
  std::string label;  // "entry word/document.xml"
  std::span<const uint8_t> name;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
  uint64_t local_offset = 0;
  uint64_t data_offset = 0;
  uint64_t record_end = 0;  // past the data and any descriptor
};

class ZipChecker {
 public:
  explicit ZipChecker(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  Problem Check() {
    if (auto problem = FindEndRecord()) return problem;
    if (auto problem = ReadCentralDirectory()) return problem;
    for (Entry& entry : entries_) {
      if (auto problem = LocateEntry(entry)) return problem;
    }
    if (auto problem = CheckOverlaps()) return problem;
    EntryContentChecker checker;
    for (const Entry& entry : entries_) {
      const auto data = bytes_.subspan(entry.data_offset, entry.compressed);
      if (auto problem = checker.Check(data, entry.method, entry.uncompressed, entry.crc)) {
        return entry.label + ": " + *problem;
      }
    }
    return std::nullopt;
  }

 private:
  Problem FindEndRecord() {
    if (bytes_.size() < kEndFixedBytes) return "too short for a ZIP package";
    const uint64_t last = bytes_.size() - kEndFixedBytes;
    const uint64_t first = last > kMaxCommentBytes ? last - kMaxCommentBytes : 0;
    // The record whose comment ends exactly at the end of the file.
    std::optional<uint64_t> found;
    for (uint64_t at = last + 1; at-- > first;) {
      if (Le32At(bytes_, at) == kEndRecord &&
          at + kEndFixedBytes + Le16At(bytes_, at + 20) == bytes_.size()) {
        found = at;
        break;
      }
    }
    if (!found) return "no end-of-central-directory record at the end of the file";
    const uint64_t at = *found;
    if (Le16At(bytes_, at + 4) != 0 || Le16At(bytes_, at + 6) != 0) {
      return "the package spans several disks";
    }
    const uint16_t entries_here = Le16At(bytes_, at + 8);
    const uint16_t entries_total = Le16At(bytes_, at + 10);
    const uint32_t directory_size = Le32At(bytes_, at + 12);
    const uint32_t directory_offset = Le32At(bytes_, at + 16);
    const bool has_zip64_locator =
        at >= kZip64LocatorBytes && Le32At(bytes_, at - kZip64LocatorBytes) == kZip64Locator;
    if (has_zip64_locator || entries_total == kZip64Marker16 || directory_size == kZip64Marker32 ||
        directory_offset == kZip64Marker32) {
      return "ZIP64 package, not checked";
    }
    if (entries_here != entries_total) return "the end record gives two different entry counts";
    if (uint64_t{directory_offset} + directory_size != at) {
      return "the central directory does not end where the end record begins";
    }
    end_ = {at, entries_total, directory_offset};
    return std::nullopt;
  }

  Problem ReadCentralDirectory() {
    uint64_t at = end_.directory_offset;
    const uint64_t directory_end = end_.position;
    for (uint32_t index = 0; index < end_.entry_count; ++index) {
      const std::string number = std::to_string(index + 1);
      if (directory_end - at < kCentralFixedBytes) {
        return "the central directory ends after " + std::to_string(index) + " of " +
               std::to_string(end_.entry_count) + " entries";
      }
      if (Le32At(bytes_, at) != kCentralHeader) {
        return "central directory record " + number + " is damaged";
      }
      const uint64_t name_length = Le16At(bytes_, at + 28);
      const uint64_t record_end =
          at + kCentralFixedBytes + name_length + Le16At(bytes_, at + 30) + Le16At(bytes_, at + 32);
      if (record_end > directory_end) {
        return "central directory record " + number + " runs past the directory";
      }
      Entry entry;
      entry.name = bytes_.subspan(at + kCentralFixedBytes, name_length);
      entry.label = "entry " + PrintableName(entry.name);
      entry.flags = Le16At(bytes_, at + 8);
      entry.method = Le16At(bytes_, at + 10);
      entry.crc = Le32At(bytes_, at + 16);
      entry.compressed = Le32At(bytes_, at + 20);
      entry.uncompressed = Le32At(bytes_, at + 24);
      entry.local_offset = Le32At(bytes_, at + 42);
      if (Le16At(bytes_, at + 34) != 0) return entry.label + ": starts on another disk";
      entries_.push_back(std::move(entry));
      at = record_end;
    }
    if (at != directory_end) {
      return "the central directory holds more than the " + std::to_string(end_.entry_count) +
             " entries the end record counts";
    }
    return std::nullopt;
  }

  Problem LocateEntry(Entry& entry) {
    const std::string& label = entry.label;
    if (entry.flags & (kFlagEncrypted | kFlagStrongEncryption)) return label + " is encrypted";
    if (entry.compressed == kZip64Marker32 || entry.uncompressed == kZip64Marker32 ||
        entry.local_offset == kZip64Marker32) {
      return label + ": ZIP64 sizes, not checked";
    }
    if (entry.method != kZipStored && entry.method != kZipDeflated) {
      return label + ": unknown compression method " + std::to_string(entry.method);
    }
    // Everything an entry owns lies before the central directory.
    const uint64_t limit = end_.directory_offset;
    const uint64_t at = entry.local_offset;
    if (at >= limit || limit - at < kLocalFixedBytes) {
      return label + ": its local header offset lies outside the entries' data";
    }
    if (Le32At(bytes_, at) != kLocalHeader) {
      return label + ": no local header at offset " + std::to_string(at);
    }
    const uint16_t local_flags = Le16At(bytes_, at + 6);
    if ((local_flags & kFlagsThatMustAgree) != (entry.flags & kFlagsThatMustAgree) ||
        Le16At(bytes_, at + 8) != entry.method) {
      return label + ": local header disagrees with the central directory";
    }
    const uint64_t name_length = Le16At(bytes_, at + 26);
    entry.data_offset = at + kLocalFixedBytes + name_length + Le16At(bytes_, at + 28);
    if (entry.data_offset > limit) return label + ": local header runs into the central directory";
    const auto local_name = bytes_.subspan(at + kLocalFixedBytes, name_length);
    if (!std::equal(local_name.begin(), local_name.end(), entry.name.begin(), entry.name.end())) {
      return label + ": local header names another entry";
    }
    if (limit - entry.data_offset < entry.compressed) {
      return label + ": data runs into the central directory";
    }
    const uint64_t data_end = entry.data_offset + entry.compressed;
    if (!(entry.flags & kFlagDescriptor)) {
      if (Le32At(bytes_, at + 14) != entry.crc || Le32At(bytes_, at + 18) != entry.compressed ||
          Le32At(bytes_, at + 22) != entry.uncompressed) {
        return label + ": local header disagrees with the central directory";
      }
      entry.record_end = data_end;
      return std::nullopt;
    }
    // The descriptor may or may not begin with its own signature.
    const auto descriptor_matches = [&](uint64_t fields) {
      return limit - fields >= 12 && Le32At(bytes_, fields) == entry.crc &&
             Le32At(bytes_, fields + 4) == entry.compressed &&
             Le32At(bytes_, fields + 8) == entry.uncompressed;
    };
    if (limit - data_end >= 4 && Le32At(bytes_, data_end) == kDescriptorSignature &&
        descriptor_matches(data_end + 4)) {
      entry.record_end = data_end + 16;
    } else if (descriptor_matches(data_end)) {
      entry.record_end = data_end + 12;
    } else {
      return label + ": data descriptor is missing or disagrees with the central directory";
    }
    return std::nullopt;
  }

  Problem CheckOverlaps() const {
    std::vector<const Entry*> by_offset;
    by_offset.reserve(entries_.size());
    for (const Entry& entry : entries_) by_offset.push_back(&entry);
    std::sort(by_offset.begin(), by_offset.end(),
              [](const Entry* a, const Entry* b) { return a->local_offset < b->local_offset; });
    for (size_t i = 1; i < by_offset.size(); ++i) {
      if (by_offset[i]->local_offset < by_offset[i - 1]->record_end) {
        return by_offset[i - 1]->label + " overlaps " + by_offset[i]->label;
      }
    }
    return std::nullopt;
  }

  std::span<const uint8_t> bytes_;
  EndRecord end_;
  std::vector<Entry> entries_;
};

}  // namespace

Verdict CheckZipPackage(std::span<const uint8_t> bytes) {
  if (auto problem = ZipChecker(bytes).Check()) return Verdict::Damaged(std::move(*problem));
  return Verdict::Intact();
}

}  // namespace officecarve
