// Any stream ending in an end-of-central-directory record: putting the
// package back stays in bounds, within the work it is allowed, and what it
// returns lies in the stream and adds up to the length it reports.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "carvers/office/zip_reassembly.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace officecarve;
  if (size < 23) return 0;
  // The first byte chooses the unit; the last end record in the rest is the
  // one the package is closed by.
  const std::span<const uint8_t> stream(data + 1, size - 1);
  uint64_t end_record = stream.size();
  for (size_t at = stream.size() - 22; at-- > 0;) {
    if (std::memcmp(stream.data() + at, "PK\x05\x06", 4) == 0) {
      end_record = at;
      break;
    }
  }
  if (end_record == stream.size()) return 0;
  ZipReassemblyLimits limits;
  limits.unit = uint64_t{512} << (data[0] % 4);
  constexpr uint64_t kAllowed = 64ull << 20;
  uint64_t work = kAllowed;
  const auto rebuilt = ReassembleZipStream(stream, end_record, limits, work);
  if (work > kAllowed) std::abort();
  if (!rebuilt) return 0;
  uint64_t total = 0;
  for (const StreamPiece& piece : rebuilt->pieces) {
    if (piece.stream_offset > stream.size() || piece.length > stream.size() - piece.stream_offset) {
      std::abort();
    }
    total += piece.length;
  }
  if (total != rebuilt->length) std::abort();
  return 0;
}
