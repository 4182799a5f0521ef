// WavPack streams are runs of blocks, each stating its own length and which
// samples it holds. The file is the blocks walked from the first while each
// is the next of the same stream; the first that is not ends the file before
// it. A stream that states its total ends with the block that reaches it.
// The APE and ID3v1 tags players append belong to the file. The inside of a
// block is claimed unread.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "carvers/media/record_run.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr std::string_view kBlockId = "wvpk";
constexpr uint64_t kBlockHeaderBytes = 32;
constexpr uint64_t kSizeFieldEnd = 8;  // the size counts what follows it
constexpr uint16_t kFirstVersion = 0x402;
constexpr uint16_t kLastVersion = 0x410;
// The format keeps blocks under a megabyte; a few times that is no stream.
constexpr uint32_t kMostBlockBytes = 16u << 20;
constexpr uint32_t kUnknownTotal = 0xFFFFFFFF;

struct Block {
  uint32_t size = 0;  // after the size field
  uint32_t total = 0;
  uint64_t index = 0;
  uint32_t samples = 0;
};

std::optional<Block> ReadBlock(std::span<const uint8_t> bytes, uint64_t at) {
  const std::span<const uint8_t> header = bytes.subspan(at, kBlockHeaderBytes);
  const uint16_t version = Le16At(header, 8);
  Block block{Le32At(header, 4), Le32At(header, 12),
              uint64_t{header[10]} << 32 | Le32At(header, 16), Le32At(header, 20)};
  if (!HeaderHas(header, 0, kBlockId) || version < kFirstVersion || version > kLastVersion ||
      block.size < kBlockHeaderBytes - kSizeFieldEnd || block.size > kMostBlockBytes) {
    return std::nullopt;
  }
  return block;
}

// A block holds the same samples as the one before (another channel pair)
// or those that follow it. Only the first block's total counts: writers
// fill it in there once they know it and leave the others' as they were.
bool Follows(const Block& next, const Block& previous) {
  return next.index == previous.index || next.index == previous.index + previous.samples;
}

}  // namespace

void CarveWavPack(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  RecordRun blocks(call);
  std::optional<Block> previous;
  uint32_t total = kUnknownTotal;
  while (blocks.Holds(kBlockHeaderBytes)) {
    const std::optional<Block> block = ReadBlock(call.Bytes(), blocks.Position());
    if (!block || (previous && !Follows(*block, *previous))) break;
    if (!blocks.Take(block->size + kSizeFieldEnd)) break;
    if (!previous) total = block->total;
    previous = block;
    if (total != kUnknownTotal && total != 0 && block->index + block->samples >= total) break;
  }
  blocks.FinishWithTags();
}

}  // namespace officecarve
