#include "carvers/media/audio_tags.h"

#include <span>
#include <string_view>

#include "carvers/media/declared_size.h"
#include "carvers/media/long_record.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

constexpr uint64_t kId3v1Bytes = 128;
constexpr uint64_t kApeHeaderBytes = 32;  // an APE tag's header and footer are alike
constexpr uint32_t kApeIsHeaderFlag = 1u << 29;
constexpr uint64_t kMaxApeTagBytes = 16ull << 20;

}  // namespace

bool HoldOrRangeEnd(CarverCall& call, uint64_t bytes, bool& held) {
  held = call.ReadUntil(bytes);
  return held || call.LastStop() == CarverCall::Stop::kRangeEnd;
}

bool TakeApeTag(CarverCall& call, uint64_t& at, uint64_t& file_position) {
  bool held = false;
  if (!HoldOrRangeEnd(call, at + kApeHeaderBytes, held)) return false;
  const std::span<const uint8_t> bytes = call.Bytes();
  if (!held || !HeaderHas(bytes, at, "APETAGEX"sv) ||
      (Le32At(bytes, at + 20) & kApeIsHeaderFlag) == 0) {
    return true;
  }
  // The size counts the items and the footer, not the header.
  uint64_t size = kApeHeaderBytes + Le32At(bytes, at + 12);
  if (size < 2 * kApeHeaderBytes || size > kMaxApeTagBytes) return true;
  uint64_t position = file_position;
  if (!HoldLongRecord(call, at, size, position)) {
    return call.LastStop() == CarverCall::Stop::kRangeEnd;
  }
  if (HeaderHas(call.Bytes(), at + size - kApeHeaderBytes, "APETAGEX"sv)) {
    at += size;
    file_position = position + size;
  }
  return true;
}

bool TakeId3v1Tag(CarverCall& call, uint64_t at, uint64_t& file_position) {
  bool held = false;
  if (!HoldOrRangeEnd(call, at + kId3v1Bytes, held)) return false;
  if (held && HeaderHas(call.Bytes(), at, "TAG"sv)) file_position += kId3v1Bytes;
  return true;
}

}  // namespace officecarve
