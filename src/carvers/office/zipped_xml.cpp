// Zipped-XML documents (.docx, .xlsx, .pptx): the package is walked record
// by record from the first local header to the end-of-central-directory
// record, which gives its exact length; the family comes from the central
// directory's entry names. Nothing is decompressed.
#include <array>
#include <cctype>
#include <string_view>

#include "app/scan_state.h"
#include "carvers/carvers.h"
#include "carvers/office/little_endian.h"
#include "carvers/office/save_document.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr uint32_t kLocalHeader = 0x04034B50;
constexpr uint32_t kCentralHeader = 0x02014B50;
constexpr uint32_t kEndOfCentralDirectory = 0x06054B50;
constexpr uint64_t kLocalFixedBytes = 30;
constexpr uint64_t kCentralFixedBytes = 46;
constexpr uint64_t kEndFixedBytes = 22;
constexpr uint64_t kMaxRecordBytes = 200ull * 1024 * 1024;
// The whole package is held in memory; past this it is given up rather than
// letting a run of plausible-looking records exhaust memory.
constexpr uint64_t kMaxPackageBytes = 1024ull * 1024 * 1024;

struct Prefix {
  std::string_view text;
  uint32_t switch_bit;
  std::string_view extension;
  std::string_view family;
};

constexpr std::array<Prefix, 3> kPrefixes = {{
    {"word/", kFamilyDoc, ".DOCX", "doc"},
    {"xl/", kFamilyXls, ".XLSX", "xls"},
    {"ppt/", kFamilyPpt, ".PPTX", "ppt"},
}};

bool StartsWithIgnoringCase(std::span<const uint8_t> name, std::string_view prefix) {
  if (name.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(name[i]) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

void CarveZippedXml(CarverEnv& env, std::string_view folder, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  if (call.Held() < 4 || Le32At(call.Bytes(), 0) != kLocalHeader) return call.Fail();

  const Prefix* chosen = nullptr;
  uint64_t position = 0;
  // Every pass advances by at least one fixed record, and the package size
  // is bounded, so the walk ends.
  while (true) {
    if (position > kMaxPackageBytes || !call.ReadUntil(position + 4)) return call.Fail();
    const uint32_t signature = Le32At(call.Bytes(), position);
    uint64_t length = 0;
    if (signature == kLocalHeader) {
      if (!call.ReadUntil(position + kLocalFixedBytes)) return call.Fail();
      const auto bytes = call.Bytes();
      length = kLocalFixedBytes + Le16At(bytes, position + 26) + Le16At(bytes, position + 28) +
               uint64_t{Le32At(bytes, position + 18)};
    } else if (signature == kCentralHeader) {
      if (!call.ReadUntil(position + kCentralFixedBytes)) return call.Fail();
      const auto bytes = call.Bytes();
      length = kCentralFixedBytes + Le16At(bytes, position + 28) + Le16At(bytes, position + 30) +
               Le16At(bytes, position + 32);
    } else if (signature == kEndOfCentralDirectory) {
      if (!call.ReadUntil(position + kEndFixedBytes)) return call.Fail();
      length = kEndFixedBytes + Le16At(call.Bytes(), position + 20);
    } else {
      return call.Fail();  // data descriptors, ZIP64 records and garbage alike
    }
    if (length > kMaxRecordBytes) return call.Fail();
    const uint64_t record = position;
    position += length;
    if (position > kMaxPackageBytes || !call.ReadUntil(position)) return call.Fail();

    if (signature == kCentralHeader && chosen == nullptr) {
      const uint16_t name_length = Le16At(call.Bytes(), record + 28);
      const auto name = call.Bytes().subspan(record + kCentralFixedBytes, name_length);
      for (const Prefix& prefix : kPrefixes) {
        if (!StartsWithIgnoringCase(name, prefix.text)) continue;
        if (env.family_mask & prefix.switch_bit) chosen = &prefix;
        break;
      }
    }
    if (signature == kEndOfCentralDirectory) break;
  }

  if (chosen != nullptr) {
    // The file ends with the end record's comment; what follows in the unit is not ours.
    call.ShrinkHeld(position);
    WriteRecoveredDocument(env, folder, offset, chosen->extension, chosen->family, call.Bytes());
  }
  call.Complete();
}

}  // namespace officecarve
