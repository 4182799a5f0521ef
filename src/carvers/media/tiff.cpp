#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/tiff_walk.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

// Plain TIFF and the camera raw formats that keep its structure under a magic
// number of their own, each in both byte orders.
struct HeaderForm {
  std::array<uint8_t, 4> magic;
  TiffByteOrder order;
};
constexpr std::array<HeaderForm, 6> kHeaderForms = {{
    {{'I', 'I', 0x2A, 0x00}, TiffByteOrder::kLittle},
    {{'M', 'M', 0x00, 0x2A}, TiffByteOrder::kBig},
    {{'I', 'I', 'R', 'O'}, TiffByteOrder::kLittle},
    {{'M', 'M', 'O', 'R'}, TiffByteOrder::kBig},
    {{'I', 'I', 'U', 0x00}, TiffByteOrder::kLittle},
    {{'M', 'M', 0x00, 'U'}, TiffByteOrder::kBig},
}};

constexpr uint64_t kFirstDirectoryLinkAt = 4;

std::optional<TiffByteOrder> ByteOrderOf(std::span<const uint8_t> header) {
  for (const HeaderForm& form : kHeaderForms) {
    if (std::equal(form.magic.begin(), form.magic.end(), header.begin())) return form.order;
  }
  return std::nullopt;
}

uint32_t FirstDirectory(std::span<const uint8_t> header, TiffByteOrder order) {
  uint32_t offset = 0;
  for (uint64_t i = 0; i < 4; ++i) {
    const uint32_t byte = header[kFirstDirectoryLinkAt + i];
    offset |= order == TiffByteOrder::kLittle ? byte << (8 * i) : byte << (8 * (3 - i));
  }
  return offset;
}

}  // namespace

// Takes every unit up to the farthest byte that any directory reachable from
// the header refers to; the file is given up when any of them cannot be held.
void CarveTiff(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return call.Fail();
  const std::optional<TiffByteOrder> order = ByteOrderOf(call.Bytes());
  if (!order) return call.Fail();
  TiffWalk walk(call, *order);
  if (!walk.Run(FirstDirectory(call.Bytes(), *order))) return call.Fail();
  return call.Complete();
}

}  // namespace officecarve
