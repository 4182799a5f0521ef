#include "carvers/office/zip_data_descriptor.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>

#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr uint32_t kDescriptorSignature = 0x08074B50;

bool IsNextRecordSignature(std::span<const uint8_t> bytes, uint64_t at) {
  if (bytes[at] != 'P' || bytes[at + 1] != 'K') return false;
  return (bytes[at + 2] == 3 && bytes[at + 3] == 4) || (bytes[at + 2] == 1 && bytes[at + 3] == 2);
}

// True when a descriptor ending at `next` (where the next record begins)
// closes data that started at `data_start`.
bool DescriptorEndsAt(std::span<const uint8_t> bytes, uint64_t data_start, uint64_t next) {
  // Each form keeps its compressed size a fixed distance before the next
  // record; the data ends where the descriptor begins.
  if (next >= data_start + 16 && Le32At(bytes, next - 16) == kDescriptorSignature &&
      Le32At(bytes, next - 8) == next - 16 - data_start) {
    return true;
  }
  if (next >= data_start + 24 && Le32At(bytes, next - 24) == kDescriptorSignature &&
      Le64At(bytes, next - 16) == next - 24 - data_start) {
    return true;
  }
  return next >= data_start + 12 && Le32At(bytes, next - 8) == next - 12 - data_start;
}

// Where the next end-of-central-directory record can begin at the latest,
// from `from` on: found among the held bytes or the units ahead without
// reading them, or nothing when there is none within `limit`.
std::optional<uint64_t> NextEndRecordBefore(CarverCall& call, uint64_t from, uint64_t limit) {
  static constexpr std::string_view kEnd = "PK\x05\x06";
  const auto held = call.Bytes();
  if (const auto found = call.FindHeld(kEnd, from)) return *found;
  const uint64_t unit = call.Env().bytes_per_sector;
  if (held.size() % unit != 0 || limit <= held.size()) return limit;
  const size_t tail = std::min<size_t>(held.size(), kEnd.size() - 1);
  const CarverCall::Ahead ahead =
      call.FindAhead(kEnd, held.last(tail), (limit - held.size()) / unit + 1);
  switch (ahead.outcome) {
    case CarverCall::Ahead::Outcome::kFound:
    case CarverCall::Ahead::Outcome::kShortRead:
      return held.size() + ahead.units * unit;
    case CarverCall::Ahead::Outcome::kLimit:
    case CarverCall::Ahead::Outcome::kRangeEnd:
      break;
  }
  return std::nullopt;
}

}  // namespace

std::optional<uint64_t> FindDataDescriptorEnd(CarverCall& call, uint64_t data_start,
                                              uint64_t max_entry_bytes) {
  const auto end_record = NextEndRecordBefore(call, data_start, data_start + max_entry_bytes + 24);
  if (!end_record) return std::nullopt;
  max_entry_bytes = std::min(max_entry_bytes, *end_record - std::min(*end_record, data_start));
  // The shortest descriptor (no signature, 12 bytes) after empty data.
  uint64_t next = data_start + 12;
  while (next - data_start <= max_entry_bytes + 24) {
    if (next + 4 > call.Held() && !call.ReadUntil(next + 4)) return std::nullopt;
    const auto bytes = call.Bytes();
    // Only a 'P' can start the next record, so jump between them.
    const uint64_t last_start = bytes.size() - 4;
    while (next <= last_start) {
      const void* found = std::memchr(bytes.data() + next, 'P', last_start - next + 1);
      if (found == nullptr) {
        next = last_start + 1;
        break;
      }
      next = static_cast<uint64_t>(static_cast<const uint8_t*>(found) - bytes.data());
      if (next - data_start > max_entry_bytes + 24) return std::nullopt;
      if (IsNextRecordSignature(bytes, next) && DescriptorEndsAt(bytes, data_start, next)) {
        return next;
      }
      ++next;
    }
  }
  return std::nullopt;
}

}  // namespace officecarve
