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
// The same for a call whose claims so far cover the file's first `covered`
// bytes (a whole number of units: its header, and what it read or skipped).
void ClaimDeclaredLength(CarverCall& call, uint64_t length, uint64_t covered);

// True when a file of `length` bytes from the call's header ends inside the
// scan range, units claimed by other files aside. A declared end past the
// range can then fail at once, without claiming unit by unit up to it.
bool FitsScanRange(CarverCall& call, uint64_t length);

}  // namespace officecarve
