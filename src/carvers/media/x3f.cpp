// X3F camera raw files end with their section directory ("SECd") and a last
// 32-bit word that points back at it. The file is read forward unit by unit
// until a word in the newest unit plausibly is that pointer.
#include <cstdint>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "core/byte_order.h"
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

// Whether the word at `at` points back at a section directory that ends right
// before it.
bool IsDirectoryPointer(std::span<const uint8_t> bytes, uint64_t at) {
  const uint32_t target = Le32At(bytes, at);
  // In 32 bits on purpose: a target past the word wraps to a huge distance.
  const uint32_t distance = static_cast<uint32_t>(at) - target;
  return distance % kDirectoryEntryBytes == 0 && distance >= kShortestDirectoryBytes &&
         distance <= kLongestDirectoryBytes && BytesAre(bytes, target, kDirectorySignature);
}

}  // namespace

void CarveX3f(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  if (!BytesAre(call.Bytes(), 0, kSignature)) return call.Fail();

  const uint64_t unit_bytes = env.bytes_per_sector;
  // One unit per pass, bounded by the held limit and the scan range.
  while (call.Held() <= kMaxHeldToSearch) {
    const uint64_t unit_start = call.Held();
    if (!call.ReadUntil(unit_start + unit_bytes)) return call.Fail();
    for (uint64_t at = unit_start; at + 4 <= call.Held(); at += 4) {
      if (IsDirectoryPointer(call.Bytes(), at)) return call.Complete();
    }
  }
  call.Fail();
}

}  // namespace officecarve
