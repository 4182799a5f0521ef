// Compound-file (structured storage) documents: .doc, .xls, .ppt and
// encrypted zipped-XML packages. The length comes from the document's own
// allocation table, the family from the names in its directory; the bytes
// are written as read, the document taken to be the run of unclaimed units
// from its header on.
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "carvers/carvers.h"
#include "carvers/office/save_document.h"
#include "core/byte_order.h"
#include "core/scan_state.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr std::array<uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
// Byte-order mark FE FF followed by a sector shift of 9: 512-byte sectors only.
constexpr uint32_t kByteOrderAndShift = 0x0009FFFE;
constexpr uint64_t kSectorBytes = 512;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kMaxTableSector = 409'598;
constexpr uint64_t kMaxDocumentBytes = 200ull * 1024 * 1024;
constexpr size_t kMaxDirectoryBytes = 20 * kSectorBytes;
constexpr int kHeaderFatEntries = 109;
constexpr int kFatNumbersPerDifatSector = 127;
// A document of at most 200 MiB needs at most 3,200 FAT sectors; anything far
// beyond that is damage, and bounding it bounds the memory a hostile chain costs.
constexpr size_t kMaxFatSectors = 4096;
constexpr int kMaxDifatSectors = 64;

enum class Family { kNone = 0, kWord = 1, kSpreadsheet = 2, kPresentation = 3 };

// Document sector s starts after the 512-byte header.
uint64_t SectorEnd(uint32_t sector) { return (uint64_t{sector} + 2) * kSectorBytes; }
uint64_t SectorStart(uint32_t sector) { return (uint64_t{sector} + 1) * kSectorBytes; }

// The tables may lie far ahead of the header: they are looked at where they
// lie, and the document is taken up to its end only once they hold, so a
// header whose tables point far ahead costs a few sectors, not the distance.
class SectorPeek {
 public:
  explicit SectorPeek(CarverCall& call) : call_(call) {}

  std::span<const uint8_t> Read(uint32_t sector) {
    if (!call_.PeekAt(SectorStart(sector), bytes_)) return {};
    extent_ = std::max(extent_, SectorEnd(sector));
    return bytes_;
  }
  void Reach(uint64_t bytes) { extent_ = std::max(extent_, bytes); }
  // How far the document's bytes must be taken for what was looked at.
  uint64_t Extent() const { return extent_; }
  // Whether the units up to the extent lie within the scan range.
  bool ExtentFits() {
    const uint64_t unit_bytes = call_.Env().bytes_per_sector;
    const uint64_t units = extent_ / unit_bytes + (extent_ % unit_bytes != 0 ? 1 : 0);
    const uint64_t held_units = call_.Held() / unit_bytes;
    return units <= held_units || call_.UnitAhead(units - held_units - 1) >= 0;
  }
  // The bytes the call holds once it has taken everything up to the extent.
  uint64_t HeldAtExtent() const {
    const uint64_t unit_bytes = call_.Env().bytes_per_sector;
    const uint64_t units = extent_ / unit_bytes + (extent_ % unit_bytes != 0 ? 1 : 0);
    return std::max(call_.Held(), units * unit_bytes);
  }

 private:
  CarverCall& call_;
  std::array<uint8_t, kSectorBytes> bytes_{};
  uint64_t extent_ = 0;
};

bool AppendTableSector(SectorPeek& peek, uint32_t sector, std::vector<uint8_t>& fat) {
  if (sector > kMaxTableSector || fat.size() >= kMaxFatSectors * kSectorBytes) return false;
  const std::span<const uint8_t> bytes = peek.Read(sector);
  if (bytes.empty()) return false;
  fat.insert(fat.end(), bytes.begin(), bytes.end());
  return true;
}

bool CollectHeaderFat(std::span<const uint8_t> header, SectorPeek& peek,
                      std::vector<uint8_t>& fat) {
  bool have_previous = false;
  uint32_t previous = 0;
  for (int i = 0; i < kHeaderFatEntries; ++i) {
    const uint32_t sector = Le32At(header, 76 + 4 * i);
    if (sector == kFreeSector) break;
    if (have_previous && sector <= previous) return false;
    if (!AppendTableSector(peek, sector, fat)) return false;
    previous = sector;
    have_previous = true;
  }
  return true;
}

bool CollectDifatFat(std::span<const uint8_t> header, SectorPeek& peek, std::vector<uint8_t>& fat) {
  uint32_t difat = Le32At(header, 68);
  bool have_previous = false;
  uint32_t previous = 0;
  std::array<uint8_t, kSectorBytes> numbers{};
  for (int walked = 0; difat != kEndOfChain && difat != kFreeSector; ++walked) {
    if (walked >= kMaxDifatSectors || difat > kMaxTableSector) return false;
    if (have_previous && difat <= previous) return false;
    const std::span<const uint8_t> bytes = peek.Read(difat);
    if (bytes.empty()) return false;
    std::copy(bytes.begin(), bytes.end(), numbers.begin());
    for (int j = 0; j < kFatNumbersPerDifatSector; ++j) {
      const uint32_t sector = Le32At(numbers, 4 * j);
      if (sector == kFreeSector) continue;
      if (!AppendTableSector(peek, sector, fat)) return false;
    }
    previous = difat;
    have_previous = true;
    difat = Le32At(numbers, 508);
  }
  return true;
}

bool CollectDirectory(std::span<const uint8_t> header, SectorPeek& peek,
                      const std::vector<uint8_t>& fat, std::vector<uint8_t>& directory) {
  const int64_t highest_usable = static_cast<int64_t>(peek.HeldAtExtent() / kSectorBytes) - 2;
  const uint64_t fat_entries = fat.size() / 4;
  uint32_t sector = Le32At(header, 48);
  while (sector != kEndOfChain) {
    if (static_cast<int64_t>(sector) > highest_usable || directory.size() >= kMaxDirectoryBytes ||
        sector >= fat_entries) {
      return false;
    }
    const std::span<const uint8_t> bytes = peek.Read(sector);
    if (bytes.empty()) return false;
    directory.insert(directory.end(), bytes.begin(), bytes.end());
    sector = Le32At(fat, uint64_t{sector} * 4);
  }
  return true;
}

bool NameIs(std::span<const uint8_t> entry, size_t units, std::u16string_view name) {
  if (units != name.size()) return false;
  for (size_t i = 0; i < units; ++i) {
    if (Le16At(entry, 2 * i) != name[i]) return false;
  }
  return true;
}

struct DirectoryFacts {
  bool has_encryption_info = false;
  bool has_version = false;
  bool has_encrypted_package = false;
  Family family = Family::kNone;
};

DirectoryFacts ScanNames(std::span<const uint8_t> directory) {
  DirectoryFacts facts;
  for (size_t at = 0; at + 128 <= directory.size(); at += 128) {
    const auto entry = directory.subspan(at, 128);
    const uint16_t name_bytes = Le16At(entry, 64);
    // Unused slots, and root entries some writers leave unnamed, are passed
    // over: the names that decide may come after them.
    if (name_bytes < 4 || name_bytes > 64) continue;
    const size_t units = (name_bytes - 2u) / 2u;
    if (NameIs(entry, units, u"EncryptionInfo")) facts.has_encryption_info = true;
    if (NameIs(entry, units, u"Version")) facts.has_version = true;
    if (NameIs(entry, units, u"EncryptedPackage")) facts.has_encrypted_package = true;
    if (NameIs(entry, units, u"WordDocument")) facts.family = Family::kWord;
    // "Book" is the workbook stream of the spreadsheets of the 5.0/95 generation.
    if (NameIs(entry, units, u"Workbook") || NameIs(entry, units, u"Book")) {
      facts.family = Family::kSpreadsheet;
    }
    if (NameIs(entry, units, u"PowerPoint Document")) facts.family = Family::kPresentation;
  }
  return facts;
}

struct Choice {
  std::string_view extension;
  std::string_view family;
};

Choice ChooseExtension(const DirectoryFacts& facts, uint32_t family_mask) {
  // Some writers leave "Version" out; "EncryptedPackage" marks the same thing.
  const bool encrypted =
      facts.has_encryption_info && (facts.has_version || facts.has_encrypted_package);
  Family family = facts.family;
  if (encrypted && family == Family::kNone) family = Family::kSpreadsheet;
  switch (family) {
    case Family::kWord:
      if (family_mask & kFamilyDoc) return {encrypted ? ".ENC.DOCX" : ".DOC", "doc"};
      break;
    case Family::kSpreadsheet:
      if (family_mask & kFamilyXls) return {encrypted ? ".ENC.XLSX" : ".XLS", "xls"};
      break;
    case Family::kPresentation:
      if (family_mask & kFamilyPpt) return {".PPT", "ppt"};
      break;
    case Family::kNone:
      break;
  }
  return {};
}

}  // namespace

void CarveCompoundFile(CarverEnv& env, std::string_view folder, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  if (call.Held() < kSectorBytes ||
      std::memcmp(call.Bytes().data(), kSignature.data(), kSignature.size()) != 0 ||
      Le32At(call.Bytes(), 28) != kByteOrderAndShift) {
    return call.Fail();
  }

  const std::vector<uint8_t> header(call.Bytes().begin(), call.Bytes().begin() + kSectorBytes);
  SectorPeek peek(call);
  std::vector<uint8_t> fat;
  if (!CollectHeaderFat(header, peek, fat) || !CollectDifatFat(header, peek, fat)) {
    return call.Fail();
  }

  // The length ends with the last allocated sector; trailing free entries
  // of the table do not lengthen the file.
  for (uint64_t i = fat.size() / 4; i-- > 0;) {
    if (Le32At(fat, i * 4) == kFreeSector) continue;
    const uint64_t length = (i + 2) * kSectorBytes;
    if (length > kMaxDocumentBytes) return call.Fail();
    peek.Reach(length);
    break;
  }
  if (!peek.ExtentFits()) return call.Fail();

  std::vector<uint8_t> directory;
  if (!CollectDirectory(header, peek, fat, directory)) return call.Fail();
  const Choice choice = ChooseExtension(ScanNames(directory), env.family_mask);
  // A recognised document keeps its units even when it is not written; its
  // bytes are then only checked to be readable, not taken into the buffer.
  if (choice.extension.empty()) {
    const uint64_t units = (peek.HeldAtExtent() - call.Held()) / env.bytes_per_sector;
    if (!call.ClaimReadableUnits(units)) return call.Fail();
    return call.Complete();
  }
  if (!call.ReadUntil(peek.Extent())) return call.Fail();
  WriteRecoveredDocument(call, folder, choice.extension, choice.family, call.Bytes());
  call.Complete();
}

}  // namespace officecarve
