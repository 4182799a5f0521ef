// Any bytes, any length: identification and its helpers must stay in bounds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "scan/identify.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> sector(data, size);
  officecarve::Identify(sector);
  officecarve::ReadPackClockMpeg1(sector);
  officecarve::ReadPackClockMpeg2(sector);
  return 0;
}
