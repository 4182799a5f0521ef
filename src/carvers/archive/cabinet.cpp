#include <cstdint>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr std::string_view kCabinetMagic = "MSCF";
// The cabinet size, then a reserved field that is zero in every cabinet
// written; it is taken as the high half of the size.
constexpr size_t kCabinetSizeOffset = 8;
constexpr size_t kReservedOffset = 12;

}  // namespace

void CarveCabinet(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  if (!HeaderHas(header, 0, kCabinetMagic)) return call.Fail();
  const uint64_t size_bits = (static_cast<uint64_t>(Le32At(header, kReservedOffset)) << 32) |
                             Le32At(header, kCabinetSizeOffset);
  // Compared as a signed size: a reserved field with its top bit set makes it
  // negative, and such a cabinet keeps its first unit only; any other
  // non-zero one makes it larger than 4 GiB, as far as the scan range allows.
  const int64_t size = static_cast<int64_t>(size_bits);
  ClaimDeclaredLength(call, size < 0 ? 0 : static_cast<uint64_t>(size));
}

}  // namespace officecarve
