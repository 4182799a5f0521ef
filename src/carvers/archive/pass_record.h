#pragma once

#include <cstdint>
#include <optional>

#include "scan/carver_frame.h"

namespace officecarve {

// Moves a block walk past a record of `length` bytes that starts at buffer
// `position` (at most what is held). The whole units of the record that lie
// beyond the held bytes are claimed without being read, as long as at least
// two units of it are left; the rest is read. Returns the buffer position
// right after the record, or nothing when the scan range ended or a read
// failed. The caller keeps position + length from wrapping.
std::optional<uint64_t> PassRecord(CarverCall& call, uint64_t position, uint64_t length);

}  // namespace officecarve
