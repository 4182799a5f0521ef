#include "carvers/archive/pass_record.h"

namespace officecarve {

std::optional<uint64_t> PassRecord(CarverCall& call, uint64_t position, uint64_t length) {
  const uint64_t unit_bytes = call.Env().bytes_per_sector;
  uint64_t remaining = length;
  // A unit is skipped only while the record still covers all of it past the
  // held bytes: the record's head may reach more than a unit into the buffer,
  // and skipping by its length alone would then land the walk short of the
  // next record.
  while (remaining >= 2 * unit_bytes && position + remaining - unit_bytes >= call.Held()) {
    if (!call.SkipClaim()) return std::nullopt;
    remaining -= unit_bytes;
  }
  if (!call.ReadUntil(position + remaining)) return std::nullopt;
  return position + remaining;
}

}  // namespace officecarve
