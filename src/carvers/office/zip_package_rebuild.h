#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace officecarve {

class CarverCall;

// A package put back together after its walk broke.
struct RebuiltZipPackage {
  std::vector<uint8_t> bytes;
  // The central directory's entry names, in its order.
  std::vector<std::string> names;
};

// For a call whose buffer holds a ZIP package from its first local header up
// to where the walk of its records broke (the first `intact` bytes are the
// package's own, from a walk that read them): finds the package's end record
// further on, among the units the call would read next, reads up to it, and
// rebuilds the package from its fragments (see zip_reassembly.h). On success
// the call holds every unit up to the end record but claims only the
// package's own; the gap units are released for other carvers. On failure
// nothing has changed that Fail would not undo.
std::optional<RebuiltZipPackage> RebuildZipPackage(CarverCall& call, uint64_t intact);

}  // namespace officecarve
