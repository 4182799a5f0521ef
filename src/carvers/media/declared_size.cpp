#include "carvers/media/declared_size.h"

#include <algorithm>
#include <cstring>

#include "scan/carver_frame.h"

namespace officecarve {

bool HeaderHas(std::span<const uint8_t> header, size_t at, std::string_view expected) {
  return at <= header.size() && expected.size() <= header.size() - at &&
         std::memcmp(header.data() + at, expected.data(), expected.size()) == 0;
}

void ClaimDeclaredLength(CarverCall& call, uint64_t length) {
  ClaimDeclaredLength(call, length, call.Env().bytes_per_sector);  // the header unit
}

void ClaimDeclaredLength(CarverCall& call, uint64_t length, uint64_t covered) {
  const uint64_t unit_bytes = call.Env().bytes_per_sector;
  const uint64_t progress_bytes = CarverCall::kProgressEveryUnits * unit_bytes;
  // Running out of the scan range ends the file where the range ends. The
  // units go a progress step at a time, so the line moves every 200 units.
  while (covered < length) {
    const uint64_t missing = length - covered;
    const uint64_t units_left = missing / unit_bytes + (missing % unit_bytes != 0 ? 1 : 0);
    const uint64_t to_step = (progress_bytes - covered % progress_bytes) / unit_bytes;
    const uint64_t units = std::min(units_left, to_step);
    if (!call.SkipClaimUnits(units)) break;
    covered += units * unit_bytes;
    if (covered % progress_bytes == 0) {
      call.ShowProgress();
      // A declared length may run to the end of a large disk; the claims are
      // final anyway, so the list need not remember them.
      call.KeepClaims();
    }
  }
  call.Complete();
}

bool FitsScanRange(CarverCall& call, uint64_t length) {
  const CarverEnv& env = call.Env();
  if (env.range_last < 0 || call.HeaderOffset() < 0) return false;
  const uint64_t range_end = (static_cast<uint64_t>(env.range_last) + 1) * env.bytes_per_sector;
  const auto start = static_cast<uint64_t>(call.HeaderOffset());
  return start <= range_end && length <= range_end - start;
}

}  // namespace officecarve
