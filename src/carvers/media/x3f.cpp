// X3F camera raw files end with their section directory ("SECd") and a last
// 32-bit word that points back at it. The file is taken forward unit by unit
// until a word in the newest unit plausibly is that pointer.
#include <cstdint>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "core/byte_order.h"
#include "core/find_bytes.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr std::string_view kSignature = "FOVb";
constexpr std::string_view kDirectorySignature = "SECd";
// A directory is a 12-byte head and 1 to 18 entries of 12 bytes each; the
// pointer follows it directly.
constexpr uint32_t kDirectoryEntryBytes = 12;
constexpr uint32_t kShortestDirectoryBytes = 12 + kDirectoryEntryBytes;
constexpr uint32_t kLongestDirectoryBytes = 12 + 18 * kDirectoryEntryBytes;
// One unit more than this held and the file is given up.
constexpr uint64_t kMaxHeldToSearch = 209'715'199;

bool BytesAre(std::span<const uint8_t> bytes, uint64_t at, std::string_view expected) {
  if (at > bytes.size() || bytes.size() - at < expected.size()) return false;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (bytes[at + i] != static_cast<uint8_t>(expected[i])) return false;
  }
  return true;
}

// Whether the word at buffer position `at` points back at a section
// directory that ends right before it. The bytes from `first` on lie at file
// offset `base` plus their position.
bool IsDirectoryPointer(std::span<const uint8_t> bytes, uint64_t first, uint64_t base,
                        uint64_t at) {
  const uint32_t target = Le32At(bytes, at);
  // In 32 bits on purpose: a target past the word wraps to a huge distance.
  const uint32_t distance = static_cast<uint32_t>(base + at) - target;
  return distance % kDirectoryEntryBytes == 0 && distance >= kShortestDirectoryBytes &&
         distance <= kLongestDirectoryBytes && target >= base + first &&
         BytesAre(bytes, target - base, kDirectorySignature);
}

}  // namespace

// A word can only be the pointer within a directory's length after a
// directory signature, so the units up to the next signature are claimed
// unread, found through the scan's shared search: a disk of headers whose
// directory never comes is not read again for each of them.
void CarveX3f(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  if (!BytesAre(call.Bytes(), 0, kSignature)) return call.Fail();

  const uint64_t unit_bytes = env.bytes_per_sector;
  const size_t tail_bytes = kDirectorySignature.size() - 1;
  // The file offset of the held bytes' end; the held bytes from `first` on
  // follow each other in the file; the last signature's pointer ends here at
  // the latest.
  uint64_t taken = call.Held();
  uint64_t first = 0;
  uint64_t pointer_may_end = 0;
  // One unit per pass, bounded by the held limit and the scan range.
  while (taken <= kMaxHeldToSearch) {
    if (taken >= pointer_may_end) {
      const auto held = call.Bytes().subspan(first);
      const CarverCall::Ahead ahead =
          call.FindAhead(kDirectorySignature, held.last(std::min(held.size(), tail_bytes)),
                         (kMaxHeldToSearch - taken) / unit_bytes + 1);
      if (ahead.outcome != CarverCall::Ahead::Outcome::kFound) return call.Fail();
      // No word before the signature's unit can point at it.
      if (ahead.units > 1) {
        if (!call.SkipClaimUnits(ahead.units - 1)) return call.Fail();
        taken += (ahead.units - 1) * unit_bytes;
        first = call.Held();
      }
    }
    const uint64_t unit_start = call.Held();
    if (!call.ReadUntil(unit_start + unit_bytes)) return call.Fail();
    taken += unit_bytes;
    const auto bytes = call.Bytes();
    const uint64_t base = taken - bytes.size();
    for (uint64_t at = unit_start; at + 4 <= bytes.size(); at += 4) {
      if (IsDirectoryPointer(bytes, first, base, at)) return call.Complete();
    }
    const uint64_t search_from =
        std::max(first, unit_start - std::min(unit_start, uint64_t{tail_bytes}));
    for (auto at = FindBytes(bytes, search_from, kDirectorySignature); at;
         at = FindBytes(bytes, *at + 1, kDirectorySignature)) {
      pointer_may_end = std::max(pointer_may_end, base + *at + kLongestDirectoryBytes + 4);
    }
    // Only the last directory's length is looked back at.
    const uint64_t before = bytes.size();
    uint64_t keep_from = before - std::min(before, uint64_t{kLongestDirectoryBytes});
    call.Compact(keep_from);
    first -= std::min(first, before - call.Held());
  }
  call.Fail();
}

}  // namespace officecarve
