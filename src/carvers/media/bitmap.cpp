#include <cstdint>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr std::string_view kBitmapMagic = "BM";
// File size, then two reserved 16-bit fields that are always zero.
constexpr size_t kFileSizeOffset = 2;
constexpr size_t kReservedOffset = 6;
// Below the smallest file a bitmap with a core header and one pixel needs;
// above any picture a document would lie around.
constexpr uint32_t kMinBitmapBytes = 58;
constexpr uint32_t kMaxBitmapBytes = 100 * 1024 * 1024;

}  // namespace

void CarveBitmap(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  if (!HeaderHas(header, 0, kBitmapMagic) || Le32At(header, kReservedOffset) != 0) {
    return call.Fail();
  }
  const uint32_t length = Le32At(header, kFileSizeOffset);
  // The signature holds but the size cannot be trusted: keep the header unit.
  if (length < kMinBitmapBytes || length > kMaxBitmapBytes) return call.Complete();
  ClaimDeclaredLength(call, length);
}

}  // namespace officecarve
