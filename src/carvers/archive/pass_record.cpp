#include "carvers/archive/pass_record.h"

namespace officecarve {

std::optional<uint64_t> PassRecord(CarverCall& call, uint64_t position, uint64_t length) {
  uint64_t remaining = length;
  // A unit is skipped only while the record still covers all of it past the
  // held bytes: the record's head may reach more than a unit into the buffer,
  // and skipping by its length alone would then land the walk short of the
  // next record.
  if (!call.SkipInsideRecord(position, remaining)) return std::nullopt;
  if (!call.ReadUntil(position + remaining)) return std::nullopt;
  return position + remaining;
}

}  // namespace officecarve
