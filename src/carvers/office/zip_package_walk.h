#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace officecarve {

class CarverCall;

// Walks a ZIP package whose first local header starts the call's buffer,
// record by record to the end of its end-of-central-directory record, keeping
// every byte in the buffer. Entries written with a data descriptor are
// followed to it. Each central directory name is passed to `on_central_name`.
// The walk passes each record through the call's chain memo.
struct ZipPackageWalk {
  // The package's length, or nothing when the records do not lead to an end
  // (unknown record, range end, short read, a package beyond the bounds, a
  // record of a chain known to fail) or the walk started at a record inside a
  // package.
  std::optional<uint64_t> length;
  // The records broke on their own account: the call should end with FailChain.
  bool chain_broke = false;
  // When they broke: the bytes before the last record read whole, which are
  // the package's own.
  uint64_t intact = 0;
};
ZipPackageWalk WalkWholeZipPackage(
    CarverCall& call, const std::function<void(std::span<const uint8_t>)>& on_central_name);

}  // namespace officecarve
