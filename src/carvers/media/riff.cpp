#include <algorithm>
#include <cstdint>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr std::string_view kRiffMagic = "RIFF";
constexpr size_t kChunkSizeOffset = 4;
// The chunk size leaves out the magic and the size field themselves.
constexpr uint32_t kChunkHeaderBytes = 8;
// Larger than any drawing worth following.
constexpr uint32_t kMaxDrawingBytes = 1'048'576'000;
// The drawing carver reads its units in windows of this many and forgets
// each window once read, so a long drawing costs no more memory than one.
constexpr uint64_t kDrawingWindowUnits = 10 * CarverCall::kProgressEveryUnits;

// False when the magic is wrong; otherwise `length` is what the header declares.
bool DeclaredRiffLength(std::span<const uint8_t> header, uint32_t& length) {
  if (!HeaderHas(header, 0, kRiffMagic)) return false;
  // Computed in 32 bits on purpose: a size of 0xFFFFFFF8 or more wraps to a
  // small length, and such a file is claimed by its header unit alone.
  length = Le32At(header, kChunkSizeOffset) + kChunkHeaderBytes;
  return true;
}

}  // namespace

void CarveRiff(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  uint32_t length = 0;
  if (!DeclaredRiffLength(call.Bytes(), length)) return call.Fail();
  ClaimDeclaredLength(call, length);
}

// A drawing is read unit by unit rather than skipped, so a unit that cannot
// be read gives the whole drawing up.
void CarveRiffDrawing(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  uint32_t length = 0;
  if (!DeclaredRiffLength(call.Bytes(), length) || length > kMaxDrawingBytes) {
    return call.Fail();
  }
  const uint64_t unit_bytes = env.bytes_per_sector;
  const uint64_t progress_bytes = CarverCall::kProgressEveryUnits * unit_bytes;
  uint64_t covered = unit_bytes;  // the header unit
  while (covered < length) {
    const uint64_t held_before = call.Held();
    const uint64_t wanted = std::min<uint64_t>(length - covered, kDrawingWindowUnits * unit_bytes);
    if (!call.ReadUntil(held_before + wanted)) {
      if (call.LastStop() == CarverCall::Stop::kRangeEnd) break;
      return call.Fail();
    }
    covered += call.Held() - held_before;
    // Only whole progress periods are dropped, so ReadUntil still shows the
    // progress line every 200 units of the file.
    call.ShrinkHeld(call.Held() % progress_bytes);
  }
  call.Complete();
}

}  // namespace officecarve
