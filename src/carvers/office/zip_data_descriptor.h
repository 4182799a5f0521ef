#pragma once

#include <cstdint>
#include <optional>

namespace officecarve {

class CarverCall;

// An entry written with general-purpose flag bit 3 carries its sizes in a
// data descriptor after its data, so its end can only be found by looking.
// Reads on from `data_start` (a buffer position) for a descriptor, with or
// without its signature and in 32- or 64-bit form, whose compressed size
// equals its distance from `data_start` and which is followed directly by the
// next local or central header. Returns the buffer position just after it,
// or nothing when no such descriptor lies within `max_entry_bytes`, or
// before the next end-of-central-directory record: a walk ends only at one,
// so the data cannot run past it (and with none ahead, the walk cannot end).
std::optional<uint64_t> FindDataDescriptorEnd(CarverCall& call, uint64_t data_start,
                                              uint64_t max_entry_bytes);

}  // namespace officecarve
