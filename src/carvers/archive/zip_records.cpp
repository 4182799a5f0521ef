#include "carvers/archive/zip_records.h"

#include <algorithm>

#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {

bool ReadZipRecord(CarverCall& call, uint64_t position, ZipRecord& record) {
  if (!call.ReadUntil(position + 4)) return false;
  record.signature = Le32At(call.Bytes(), position);
  uint64_t fixed_bytes = 0;
  switch (record.signature) {
    case kZipLocalHeader:
      fixed_bytes = kZipLocalFixedBytes;
      break;
    case kZipCentralHeader:
      fixed_bytes = kZipCentralFixedBytes;
      break;
    case kZipEndOfCentralDirectory:
      fixed_bytes = kZipEndFixedBytes;
      break;
    default:
      return false;
  }
  if (!call.ReadUntil(position + fixed_bytes)) return false;
  const auto bytes = call.Bytes();
  switch (record.signature) {
    case kZipLocalHeader:
      record.length = kZipLocalFixedBytes + uint64_t{Le16At(bytes, position + 26)} +
                      Le16At(bytes, position + 28) + Le32At(bytes, position + 18);
      break;
    case kZipCentralHeader:
      record.length = kZipCentralFixedBytes + uint64_t{Le16At(bytes, position + 28)} +
                      Le16At(bytes, position + 30) + Le16At(bytes, position + 32);
      break;
    default:
      record.length = kZipEndFixedBytes + uint64_t{Le16At(bytes, position + 20)};
      break;
  }
  return true;
}

bool ZipLocalUsesDescriptor(CarverCall& call, uint64_t position) {
  constexpr uint16_t kDataDescriptorFlag = 0x0008;
  return (Le16At(call.Bytes(), position + 6) & kDataDescriptorFlag) != 0;
}

uint64_t ZipLocalDataStart(CarverCall& call, uint64_t position) {
  const auto bytes = call.Bytes();
  return position + kZipLocalFixedBytes + Le16At(bytes, position + 26) +
         Le16At(bytes, position + 28);
}

bool ZipStartCheck::ReadFirstLocalName(CarverCall& call) {
  if (!call.ReadUntil(kZipLocalFixedBytes)) return false;
  const uint64_t name_end = kZipLocalFixedBytes + Le16At(call.Bytes(), 26);
  if (!call.ReadUntil(name_end)) return false;
  const auto name = call.Bytes().subspan(kZipLocalFixedBytes, name_end - kZipLocalFixedBytes);
  first_name_.assign(name.begin(), name.end());
  return true;
}

void ZipStartCheck::SeeCentralHeader(std::span<const uint8_t> bytes, uint64_t position) {
  // A 64-bit archive keeps the real offset in an extra field; such an entry
  // says nothing here.
  constexpr uint32_t kOffsetInExtraField = 0xFFFFFFFF;
  const auto name = bytes.subspan(position + kZipCentralFixedBytes, Le16At(bytes, position + 28));
  if (!std::equal(name.begin(), name.end(), first_name_.begin(), first_name_.end())) return;
  const uint32_t local_offset = Le32At(bytes, position + 42);
  if (local_offset == 0) listed_at_start_ = true;
  if (local_offset != 0 && local_offset != kOffsetInExtraField) listed_elsewhere_ = true;
}

}  // namespace officecarve
