#include "carvers/media/mpeg2_pack_run.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "carvers/media/mpeg2_pack.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

// A pack of DVD or camcorder video is 2 KiB: the look back starts with twice
// that and doubles up to a pack that holds the longest packet there is.
constexpr uint64_t kFirstLookBackBytes = 4096;
constexpr uint64_t kMaxLookBackBytes = 128 << 10;

// The clock of the last pack met by a walk of the records from `at` that
// ends exactly at the end of `bytes`; nothing when the walk does not, or
// meets no pack.
std::optional<int64_t> LastClockOfWalk(std::span<const uint8_t> bytes, uint64_t at) {
  const uint64_t end = bytes.size();
  std::optional<int64_t> last_clock;
  while (at < end) {
    if (end - at < 4 || !HasStartCodePrefix(bytes, at)) return std::nullopt;
    const uint8_t code = bytes[at + 3];
    if (code == kMpeg2PackCode) {
      if (end - at < kMpeg2PackHeaderBytes || !IsMpeg2PackHeader(bytes, at)) return std::nullopt;
      last_clock = Mpeg2PackClock(bytes, at);
      at += Mpeg2PackBytes(bytes, at);
    } else if (code >= kMpeg2FirstStreamId) {
      if (end - at < kMpeg2PacketLengthBytes) return std::nullopt;
      at += Mpeg2PacketBytes(bytes, at);
    } else {
      return std::nullopt;
    }
  }
  if (at != end) return std::nullopt;
  return last_clock;
}

}  // namespace

bool ContinuesPackStream(CarverEnv& env, int64_t offset, int64_t clock) {
  // The scan starts where the range does: a stream cut by its start is
  // bounded from the first pack inside it.
  const int64_t first_byte =
      std::max<int64_t>(env.source.Range().first, 0) * static_cast<int64_t>(env.bytes_per_sector);
  if (offset <= first_byte) return false;
  const uint64_t available =
      std::min<uint64_t>(static_cast<uint64_t>(offset - first_byte), kMaxLookBackBytes);

  // Each round reads the `look` bytes before the candidate and searches the
  // ones the round before did not, nearest first.
  std::vector<uint8_t> before;
  uint64_t searched = 0;
  for (uint64_t look = std::min(kFirstLookBackBytes, available);;
       look = std::min(2 * look, available)) {
    before.resize(static_cast<size_t>(look));
    if (env.source.ReadAt(before.data(), static_cast<uint32_t>(look),
                          offset - static_cast<int64_t>(look)) != 0) {
      return false;
    }
    const std::span<const uint8_t> bytes(before);
    for (uint64_t start = look - searched; start-- > 0;) {
      if (look - start < kMpeg2PackHeaderBytes || !IsMpeg2PackHeader(bytes, start)) continue;
      // Only the nearest pack header is followed: in a stream it leads onto
      // the candidate, and trying the ones before it could cost a walk each.
      const std::optional<int64_t> last_clock = LastClockOfWalk(bytes, start);
      return last_clock && clock > *last_clock && clock - *last_clock <= kMpeg2MaxClockStep;
    }
    if (look == available) return false;
    searched = look;
  }
}

}  // namespace officecarve
