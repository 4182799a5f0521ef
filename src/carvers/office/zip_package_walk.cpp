#include "carvers/office/zip_package_walk.h"

#include "carvers/archive/zip_records.h"
#include "carvers/office/zip_data_descriptor.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr uint64_t kMaxRecordBytes = 200ull * 1024 * 1024;
// How far data of unknown size is read looking for its descriptor. An entry
// broken by a gap has none in reach, and each such walk would otherwise hold
// everything up to the bound; a package with a longer one is put back from
// its central directory when the walk breaks.
constexpr uint64_t kMaxDescriptorSearchBytes = 16ull * 1024 * 1024;
// The whole package is held in memory; past this it is given up rather than
// letting a run of plausible-looking records exhaust memory.
constexpr uint64_t kMaxPackageBytes = 1024ull * 1024 * 1024;

}  // namespace

ZipPackageWalk WalkWholeZipPackage(
    CarverCall& call, const std::function<void(std::span<const uint8_t>)>& on_central_name) {
  uint64_t position = 0;
  // The records before the last one read are whole: a gap inside the last
  // one's data shows only at the record after it.
  uint64_t intact = 0;
  uint64_t last_start = 0;
  const auto broke = [&] { return ZipPackageWalk{std::nullopt, true, intact}; };
  ZipStartCheck start_check;
  if (!start_check.ReadFirstLocalName(call)) return {};
  // Every pass advances by at least one fixed record, and the package size
  // is bounded, so the walk ends. Inside the loop only the records from the
  // current one on decide where it breaks.
  while (true) {
    intact = last_start;
    last_start = position;
    ZipRecord record;
    if (position > kMaxPackageBytes || !ReadZipRecord(call, position, record)) return broke();
    if (call.ChainFailsAt(position)) return broke();
    if (record.signature == kZipLocalHeader && ZipLocalUsesDescriptor(call, position)) {
      const uint64_t data_start = ZipLocalDataStart(call, position);
      if (!call.ReadUntil(data_start)) return broke();
      const auto end = FindDataDescriptorEnd(call, data_start, kMaxDescriptorSearchBytes);
      if (!end) return broke();
      record.length = *end - position;
    }
    if (record.length > kMaxRecordBytes) return broke();
    const uint64_t start = position;
    position += record.length;
    if (position > kMaxPackageBytes || !call.ReadUntil(position)) return broke();

    if (record.signature == kZipCentralHeader) {
      start_check.SeeCentralHeader(call.Bytes(), start);
      const uint16_t name_length = Le16At(call.Bytes(), start + 28);
      on_central_name(call.Bytes().subspan(start + kZipCentralFixedBytes, name_length));
    }
    if (record.signature == kZipEndOfCentralDirectory) {
      if (start_check.StartedInside()) return {};
      return {position};
    }
  }
}

}  // namespace officecarve
