// Zipped-XML documents (.docx, .xlsx, .pptx): the package is walked record
// by record from the first local header to the end-of-central-directory
// record, which gives its exact length; the family comes from the central
// directory's entry names. Nothing is decompressed.
#include <array>
#include <cctype>
#include <string_view>

#include "app/scan_state.h"
#include "carvers/archive/zip_records.h"
#include "carvers/carvers.h"
#include "carvers/office/little_endian.h"
#include "carvers/office/save_document.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

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
  if (call.Held() < 4 || Le32At(call.Bytes(), 0) != kZipLocalHeader) return call.Fail();

  const Prefix* chosen = nullptr;
  uint64_t position = 0;
  // Every pass advances by at least one fixed record, and the package size
  // is bounded, so the walk ends.
  while (true) {
    ZipRecord record;
    if (position > kMaxPackageBytes || !ReadZipRecord(call, position, record)) return call.Fail();
    if (record.length > kMaxRecordBytes) return call.Fail();
    const uint64_t record_start = position;
    const uint32_t signature = record.signature;
    position += record.length;
    if (position > kMaxPackageBytes || !call.ReadUntil(position)) return call.Fail();

    if (signature == kZipCentralHeader && chosen == nullptr) {
      const uint16_t name_length = Le16At(call.Bytes(), record_start + 28);
      const auto name = call.Bytes().subspan(record_start + kZipCentralFixedBytes, name_length);
      for (const Prefix& prefix : kPrefixes) {
        if (!StartsWithIgnoringCase(name, prefix.text)) continue;
        if (env.family_mask & prefix.switch_bit) chosen = &prefix;
        break;
      }
    }
    if (signature == kZipEndOfCentralDirectory) break;
  }

  if (chosen != nullptr) {
    // The file ends with the end record's comment; what follows in the unit is not ours.
    call.ShrinkHeld(position);
    WriteRecoveredDocument(env, folder, offset, chosen->extension, chosen->family, call.Bytes());
  }
  call.Complete();
}

}  // namespace officecarve
