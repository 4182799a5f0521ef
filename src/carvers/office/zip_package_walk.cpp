#include "carvers/office/zip_package_walk.h"

#include "carvers/office/little_endian.h"
#include "carvers/office/zip_data_descriptor.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr uint32_t kLocalHeader = 0x04034B50;
constexpr uint32_t kCentralHeader = 0x02014B50;
constexpr uint32_t kEndOfCentralDirectory = 0x06054B50;
constexpr uint64_t kLocalFixedBytes = 30;
constexpr uint64_t kCentralFixedBytes = 46;
constexpr uint64_t kEndFixedBytes = 22;
constexpr uint16_t kDataDescriptorFlag = 0x0008;
constexpr uint64_t kMaxRecordBytes = 200ull * 1024 * 1024;
// The whole package is held in memory; past this it is given up rather than
// letting a run of plausible-looking records exhaust memory.
constexpr uint64_t kMaxPackageBytes = 1024ull * 1024 * 1024;

}  // namespace

std::optional<uint64_t> WalkWholeZipPackage(
    CarverCall& call, const std::function<void(std::span<const uint8_t>)>& on_central_name) {
  uint64_t position = 0;
  // Every pass advances by at least one fixed record, and the package size
  // is bounded, so the walk ends.
  while (true) {
    if (position > kMaxPackageBytes || !call.ReadUntil(position + 4)) return std::nullopt;
    const uint32_t signature = Le32At(call.Bytes(), position);
    uint64_t length = 0;
    if (signature == kLocalHeader) {
      if (!call.ReadUntil(position + kLocalFixedBytes)) return std::nullopt;
      const auto bytes = call.Bytes();
      const uint64_t header_length =
          kLocalFixedBytes + Le16At(bytes, position + 26) + Le16At(bytes, position + 28);
      if (Le16At(bytes, position + 6) & kDataDescriptorFlag) {
        if (!call.ReadUntil(position + header_length)) return std::nullopt;
        const auto end = FindDataDescriptorEnd(call, position + header_length, kMaxRecordBytes);
        if (!end) return std::nullopt;
        length = *end - position;
      } else {
        length = header_length + uint64_t{Le32At(bytes, position + 18)};
      }
    } else if (signature == kCentralHeader) {
      if (!call.ReadUntil(position + kCentralFixedBytes)) return std::nullopt;
      const auto bytes = call.Bytes();
      length = kCentralFixedBytes + Le16At(bytes, position + 28) + Le16At(bytes, position + 30) +
               Le16At(bytes, position + 32);
    } else if (signature == kEndOfCentralDirectory) {
      if (!call.ReadUntil(position + kEndFixedBytes)) return std::nullopt;
      length = kEndFixedBytes + Le16At(call.Bytes(), position + 20);
    } else {
      return std::nullopt;  // ZIP64 records and garbage alike
    }
    if (length > kMaxRecordBytes) return std::nullopt;
    const uint64_t record = position;
    position += length;
    if (position > kMaxPackageBytes || !call.ReadUntil(position)) return std::nullopt;

    if (signature == kCentralHeader) {
      const uint16_t name_length = Le16At(call.Bytes(), record + 28);
      on_central_name(call.Bytes().subspan(record + kCentralFixedBytes, name_length));
    }
    if (signature == kEndOfCentralDirectory) return position;
  }
}

}  // namespace officecarve
