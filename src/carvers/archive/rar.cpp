// RAR archives of the block format (marker "Rar!" 1A 07 00): walked block by
// block to the end-of-archive block. Packed data is claimed without being
// read and the buffer is compacted as the walk goes, so memory stays at a few
// dozen units however large the archive is.
#include <cstdint>
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

constexpr std::string_view kMarker = "Rar!\x1A\x07\x00"sv;
constexpr uint64_t kBlockHeaderBytes = 7;
constexpr uint64_t kAddedSizeBytes = 4;
// Block types from the archive header to the end-of-archive block; the
// marker's own type (0x72) never follows it.
constexpr uint8_t kFirstBlockType = 0x73;
constexpr uint8_t kEndOfArchive = 0x7B;
// Set in a block's flags when a 32-bit added size (packed data) follows the header.
constexpr uint16_t kHasAddedSize = 0x8000;
// A block length is a signed 32-bit quantity: 2 GiB or more walks backwards.
constexpr uint64_t kMaxBlockBytes = 0x7FFFFFFF;

bool StartsWithMarker(std::span<const uint8_t> bytes) {
  if (bytes.size() < kMarker.size()) return false;
  for (size_t i = 0; i < kMarker.size(); ++i) {
    if (bytes[i] != static_cast<uint8_t>(kMarker[i])) return false;
  }
  return true;
}

struct Block {
  uint8_t type;
  uint64_t length;  // header included
};

// The block at `position`, or nothing when it is not one we can walk past.
std::optional<Block> ReadBlock(CarverCall& call, uint64_t position) {
  if (!call.ReadUntil(position + kBlockHeaderBytes)) return std::nullopt;
  const uint8_t type = call.Bytes()[position + 2];
  const uint16_t flags = Le16At(call.Bytes(), position + 3);
  uint64_t length = Le16At(call.Bytes(), position + 5);
  if (type < kFirstBlockType || type > kEndOfArchive) return std::nullopt;
  if ((flags & kHasAddedSize) != 0) {
    const uint64_t added_at = position + kBlockHeaderBytes;
    if (!call.ReadUntil(added_at + kAddedSizeBytes)) return std::nullopt;
    // Summed in 64 bits: a sum that would wrap in 32 is refused, not walked
    // as a short block.
    length += Le32At(call.Bytes(), added_at);
  }
  // Shorter than its own header it would not move the walk forward.
  if (length < kBlockHeaderBytes || length > kMaxBlockBytes) return std::nullopt;
  return Block{type, length};
}

}  // namespace

void CarveRar(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  if (!StartsWithMarker(call.Bytes())) return call.Fail();

  uint64_t position = kMarker.size();
  // Every block moves the walk at least 7 bytes further into the file, and
  // reading or claiming past the scan range fails, so the walk ends.
  // Nothing but the blocks from here on decides where the walk ends, so one
  // that runs into a block of a chain known to fail fails there too.
  while (true) {
    if (!call.ReadUntil(position + kBlockHeaderBytes)) return call.FailChain();
    if (call.ChainFailsAt(position)) return call.FailChain();
    const std::optional<Block> block = ReadBlock(call, position);
    if (!block) return call.FailChain();
    const std::optional<uint64_t> next = PassRecord(call, position, block->length);
    if (!next) return call.FailChain();
    position = *next;
    call.Compact(position);
    if (block->type == kEndOfArchive) return call.Complete();
  }
}

}  // namespace officecarve
