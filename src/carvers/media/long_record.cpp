#include "carvers/media/long_record.h"

#include "scan/carver_frame.h"

namespace officecarve {

bool HoldLongRecord(CarverCall& call, uint64_t buffer_position, uint64_t& size,
                    uint64_t& file_position) {
  const uint64_t unit_bytes = call.Env().bytes_per_sector;
  if (buffer_position + size > call.Held()) {
    uint64_t skipped = 0;
    // A unit may be skipped only while the record still reaches past it. The
    // bytes already held cover the record's start, and when its header
    // straddled a unit boundary they are more than a unit: skipping on the
    // size alone would then skip the unit that holds the next header.
    while (size >= 2 * unit_bytes && buffer_position + size - unit_bytes >= call.Held()) {
      if (!call.SkipClaim()) return false;
      size -= unit_bytes;
      file_position += unit_bytes;
      // Skip claims never pass through ReadUntil's progress line.
      if (++skipped % CarverCall::kProgressEveryUnits == 0) call.ShowProgress();
    }
  }
  return call.ReadUntil(buffer_position + size);
}

}  // namespace officecarve
