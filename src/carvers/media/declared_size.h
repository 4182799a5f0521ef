#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace officecarve {

class CarverCall;

// True when `expected` lies in `header` at byte `at`.
bool HeaderHas(std::span<const uint8_t> header, size_t at, std::string_view expected);

// For formats whose header states the length of the whole file: claims units
// from the header on, without reading them, until the claimed units cover
// `length` bytes or the scan range ends, then completes the call. Units other
// files claimed are stepped over and do not count. Call it only on a started
// call whose header has been accepted: nothing after this point fails.
void ClaimDeclaredLength(CarverCall& call, uint64_t length);

}  // namespace officecarve
