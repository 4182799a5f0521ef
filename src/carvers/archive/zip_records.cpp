#include "carvers/archive/zip_records.h"

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

}  // namespace officecarve
