#include "carvers/media/declared_size.h"

#include <cstring>

#include "scan/carver_frame.h"

namespace officecarve {

bool HeaderHas(std::span<const uint8_t> header, size_t at, std::string_view expected) {
  return at <= header.size() && expected.size() <= header.size() - at &&
         std::memcmp(header.data() + at, expected.data(), expected.size()) == 0;
}

void ClaimDeclaredLength(CarverCall& call, uint64_t length) {
  const uint64_t unit_bytes = call.Env().bytes_per_sector;
  const uint64_t progress_bytes = CarverCall::kProgressEveryUnits * unit_bytes;
  uint64_t covered = unit_bytes;  // the header unit
  // Running out of the scan range ends the file where the range ends.
  while (covered < length && call.SkipClaim()) {
    covered += unit_bytes;
    if (covered % progress_bytes == 0) {
      call.ShowProgress();
      // A declared length may run to the end of a large disk; the claims are
      // final anyway, so the list need not remember them.
      call.KeepClaims();
    }
  }
  call.Complete();
}

}  // namespace officecarve
