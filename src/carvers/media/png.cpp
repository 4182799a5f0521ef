#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include <zlib.h>

#include "carvers/carvers.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

// The chunks of a plain picture are followed on their type alone, and the
// long ones are claimed without being read. Every other chunk programs write
// (text, time, physical size, colour profiles, Exif, private chunks) is small
// and read anyway, so its checksum decides: noise after a PNG signature does
// not pass for a chunk.
constexpr std::array kKnownChunks = {"IHDR"sv, "sRGB"sv, "gAMA"sv, "cHRM"sv,
                                     "PLTE"sv, "IDAT"sv, "IEND"sv};
constexpr std::string_view kEndChunk = "IEND"sv;
// Largest chunk data plus its four checksum bytes.
constexpr uint32_t kMaxChunkRemaining = 1'000'000;
// Largest buffer position after a chunk; skipped units do not count.
constexpr uint64_t kMaxBufferPosition = 100ull << 20;

bool FetchUnit(CarverCall& call) {
  return call.ReadUntil(call.Held() + call.Env().bytes_per_sector);
}

bool IsKnownChunk(std::string_view type) {
  return std::find(kKnownChunks.begin(), kKnownChunks.end(), type) != kKnownChunks.end();
}

// A chunk type is four ASCII letters; the case of each carries its meaning.
bool IsChunkType(std::string_view type) {
  return std::all_of(type.begin(), type.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

// The checksum covers the type and the data; `data` is the buffer position
// just after the type.
bool ChecksumHolds(std::span<const uint8_t> bytes, uint64_t data, uint32_t length) {
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), bytes.data() + data - 4, length + 4);
  return static_cast<uint32_t>(crc) == Be32At(bytes, data + length);
}

}  // namespace

void CarvePng(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  if (header.size() < 8 || header[0] != 0x89 || header[1] != 'P' || header[2] != 'N' ||
      header[3] != 'G') {
    return call.Fail();
  }

  const uint64_t unit_bytes = env.bytes_per_sector;
  uint64_t position = 8;
  // Past the signature every way the walk fails depends on the chunks from
  // the current one on alone (and the bounds, which a later start reaches
  // later), so the chain memo applies to each chunk after the first.
  for (;;) {
    if (call.Held() < position + 8 && (!FetchUnit(call) || call.Held() < position + 8)) {
      return call.FailChain();
    }
    if (position > 8 && call.ChainFailsAt(position)) return call.FailChain();
    const std::span<const uint8_t> bytes = call.Bytes();
    const uint32_t length = Be32At(bytes, position);
    const std::string_view type(reinterpret_cast<const char*>(bytes.data() + position + 4), 4);
    position += 8;
    // Computed in 32 bits on purpose: a length of 0xFFFFFFFC and above wraps
    // to a tiny chunk instead of tripping the size limit.
    uint32_t remaining = length + 4;
    if (!IsChunkType(type) || remaining > kMaxChunkRemaining) return call.FailChain();
    if (!IsKnownChunk(type)) {
      // Its checksum is read, so the wrap that lets a known chunk through
      // must not apply here.
      const uint64_t chunk_end = position + uint64_t{length} + 4;
      if (length > kMaxChunkRemaining - 4 || chunk_end > kMaxBufferPosition ||
          !call.ReadUntil(chunk_end) || !ChecksumHolds(call.Bytes(), position, length)) {
        return call.FailChain();
      }
      position = chunk_end;
      continue;
    }
    const bool is_end = type == kEndChunk;
    // The inside of a long chunk is claimed without being read; what is left
    // (under two units) is read so the next chunk header lands in the buffer.
    if (remaining >= 2 * unit_bytes) {
      const uint64_t skipped = remaining / unit_bytes - 1;
      // A chunk other than the end one that the range cuts fails at the next
      // header anyway: it is given up before its units are claimed.
      if (!is_end && call.UnitAhead(skipped) < 0) return call.FailChain();
      if (!call.SkipClaimUnits(skipped)) return call.FailChain();
      remaining -= static_cast<uint32_t>(skipped * unit_bytes);
    }
    const uint64_t chunk_end = position + remaining;
    if (chunk_end > kMaxBufferPosition) return call.FailChain();
    // A range that ends inside a chunk ends the picture there: the end chunk
    // still completes it, any other fails at the next chunk header.
    if (!call.ReadUntil(chunk_end) && call.LastStop() != CarverCall::Stop::kRangeEnd) {
      return call.FailChain();
    }
    position = chunk_end;
    if (is_end) return call.Complete();
  }
}

}  // namespace officecarve
