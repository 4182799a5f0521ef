#include <cstdint>
#include <limits>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

// Signature and format version 0.3 or 0.4: both start with the same start
// header, and current archivers write 0.4.
constexpr std::string_view kSevenZipMagicV03 = "7z\xBC\xAF\x27\x1C\x00\x03"sv;
constexpr std::string_view kSevenZipMagicV04 = "7z\xBC\xAF\x27\x1C\x00\x04"sv;
// The start header: where the next header lies, counted from its own end,
// and how long it is. The archive ends with the next header.
constexpr uint64_t kStartHeaderBytes = 32;
constexpr size_t kNextHeaderOffsetField = 12;
constexpr size_t kNextHeaderSizeField = 20;
constexpr uint64_t kLargestSize = std::numeric_limits<int64_t>::max();

uint64_t U64At(std::span<const uint8_t> bytes, size_t at) {
  uint64_t value = 0;
  for (size_t i = 0; i < 8; ++i) value |= static_cast<uint64_t>(bytes[at + i]) << (8 * i);
  return value;
}

}  // namespace

void CarveSevenZip(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  if ((!HeaderHas(header, 0, kSevenZipMagicV03) && !HeaderHas(header, 0, kSevenZipMagicV04)) ||
      header.size() < kStartHeaderBytes) {
    return call.Fail();
  }
  const uint64_t next_offset = U64At(header, kNextHeaderOffsetField);
  const uint64_t next_size = U64At(header, kNextHeaderSizeField);
  // A size that does not fit a signed 64-bit count is no archive's: keep the
  // header unit only, as for any size that reads negative. Summed with checks
  // so that no pair of fields can wrap round to a plausible small size.
  uint64_t size = 0;
  if (next_offset <= kLargestSize - kStartHeaderBytes &&
      next_size <= kLargestSize - kStartHeaderBytes - next_offset) {
    size = kStartHeaderBytes + next_offset + next_size;
  }
  ClaimDeclaredLength(call, size);
}

}  // namespace officecarve
