#include "carvers/media/long_record.h"

#include "scan/carver_frame.h"

namespace officecarve {

bool HoldLongRecord(CarverCall& call, uint64_t buffer_position, uint64_t& size,
                    uint64_t& file_position) {
  const uint64_t unit_bytes = call.Env().bytes_per_sector;
  if (buffer_position + size > call.Held()) {
    // A unit may be skipped only while the record still reaches past it. The
    // bytes already held cover the record's start, and when its header
    // straddled a unit boundary they are more than a unit: skipping on the
    // size alone would then skip the unit that holds the next header.
    const std::optional<uint64_t> skipped = call.SkipInsideRecord(buffer_position, size);
    if (!skipped) return false;
    file_position += *skipped * unit_bytes;
    // Skip claims never pass through ReadUntil's progress line.
    if (*skipped >= CarverCall::kProgressEveryUnits) call.ShowProgress();
  }
  return call.ReadUntil(buffer_position + size);
}

}  // namespace officecarve
