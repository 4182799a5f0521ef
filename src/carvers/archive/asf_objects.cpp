// ASF files whose header does not start with the file properties object, so
// no declared size is at hand: the top-level objects are walked to the end of
// the data object. Packets are claimed without being read and the buffer is
// compacted as the walk goes.
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

#include "carvers/archive/pass_record.h"
#include "carvers/carvers.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

constexpr uint64_t kObjectHeaderBytes = 24;
constexpr uint64_t kObjectSizeOffset = 16;
// Stored GUID bytes up to and including the first zero byte of each
// reference. The header object is matched from byte 0; the two families of
// top-level objects from byte 1, as their first byte tells the members apart.
constexpr std::string_view kHeaderObject = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00"sv;
constexpr std::string_view kTopLevelFamilies[] = {
    "\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00"sv,  // {75B226xx-668E-11CF-A6D9-00AA0062CE6C}
    "\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00"sv,  // {D2D0A4xx-E307-11D2-97F0-00A0C95EA850}
};
// First GUID byte of the data object, {75B22636-...}, after which the file ends.
constexpr uint8_t kDataObjectFirstByte = 0x36;

bool BytesAre(std::span<const uint8_t> bytes, uint64_t at, std::string_view expected) {
  if (at > bytes.size() || bytes.size() - at < expected.size()) return false;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (bytes[at + i] != static_cast<uint8_t>(expected[i])) return false;
  }
  return true;
}

bool IsTopLevelObject(std::span<const uint8_t> bytes, uint64_t at) {
  for (const std::string_view family : kTopLevelFamilies) {
    if (BytesAre(bytes, at + 1, family)) return true;
  }
  return false;
}

}  // namespace

void CarveAsfObjects(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  if (!BytesAre(call.Bytes(), 0, kHeaderObject)) return call.Fail();

  uint64_t position = 0;
  // Buffer positions start over at each compaction, so the header object is
  // told apart by order, not by its position being 0.
  bool first_object = true;
  // Every object moves the walk at least a header further into the file, and
  // reading or claiming past the scan range fails, so the walk ends. How it
  // fails depends on the objects from the current one on alone, so the walk
  // goes through the chain memo.
  while (true) {
    if (!call.ReadUntil(position + kObjectHeaderBytes)) return call.FailChain();
    if (!first_object && call.ChainFailsAt(position)) return call.FailChain();
    const std::span<const uint8_t> bytes = call.Bytes();
    if (!first_object && !IsTopLevelObject(bytes, position)) return call.FailChain();
    const bool data_object = !first_object && bytes[position] == kDataObjectFirstByte;
    const uint64_t size = Le64At(bytes, position + kObjectSizeOffset);
    if (size < kObjectHeaderBytes || size > std::numeric_limits<uint64_t>::max() - position) {
      return call.FailChain();
    }
    const std::optional<uint64_t> next = PassRecord(call, position, size);
    if (!next) return call.FailChain();
    position = *next;
    call.Compact(position);
    if (data_object) return call.Complete();
    first_object = false;
  }
}

}  // namespace officecarve
