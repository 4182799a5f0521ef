#include <cstdint>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/long_record.h"
#include "scan/carver_frame.h"
#include "scan/identify.h"

namespace officecarve {
namespace {

constexpr uint64_t kPackHeaderBytes = 12;
constexpr uint64_t kEndCodeBytes = 4;
constexpr uint64_t kPacketLengthBytes = 6;  // start code and the 16-bit length
constexpr uint8_t kPackCode = 0xBA;
constexpr uint8_t kEndCode = 0xB9;
// Largest clock advance (90 kHz ticks) from one cluster's first pack to the
// next; anything else is a cluster of another file.
constexpr int64_t kMaxClockStep = 800'000;

bool HasStartCodePrefix(std::span<const uint8_t> bytes, uint64_t at) {
  return bytes[at] == 0 && bytes[at + 1] == 0 && bytes[at + 2] == 1;
}

bool IsMpeg1PackHeader(std::span<const uint8_t> record) {
  return HasStartCodePrefix(record, 0) && record[3] == kPackCode && (record[4] & 0xE0) == 0x20;
}

void EndStreamAt(CarverCall& call, uint64_t file_end) {
  if (file_end == 0) return call.Fail();
  call.TrimTo(file_end);
  call.Complete();
}

}  // namespace

void CarveMpegProgramStream(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const uint64_t cluster_bytes =
      uint64_t{env.sectors_per_cluster > 0 ? env.sectors_per_cluster : 1} * env.bytes_per_sector;

  uint64_t buffer_position = 0;
  uint64_t file_position = 0;
  int64_t last_clock = -1;
  if (call.Held() < kPackHeaderBytes) return call.Fail();
  while (true) {
    // A pack header at the buffer position.
    const std::span<const uint8_t> pack = call.Bytes().subspan(buffer_position, kPackHeaderBytes);
    if (!IsMpeg1PackHeader(pack)) return file_position == 0 ? call.Fail() : call.FailChain();
    // The 33-bit clock always fits.
    const auto clock = static_cast<int64_t>(ReadPackClockMpeg1(pack));
    if (file_position % cluster_bytes == 0 &&
        (clock <= last_clock || clock - last_clock > kMaxClockStep)) {
      return EndStreamAt(call, file_position);
    }
    last_clock = clock;
    buffer_position += kPackHeaderBytes;
    file_position += kPackHeaderBytes;
    // Whether the stream ends at the next pack depends on this one's clock:
    // only the packets after the last pack lead to a failure on their own.
    call.RestartChain();

    // Packets up to the next pack header.
    while (true) {
      const bool held = call.ReadUntil(buffer_position + kPackHeaderBytes);
      const std::span<const uint8_t> bytes = call.Bytes();
      // The end code is four bytes without a length: read as a packet it
      // would take a length from whatever follows the stream.
      if (bytes.size() >= buffer_position + kEndCodeBytes &&
          HasStartCodePrefix(bytes, buffer_position) && bytes[buffer_position + 3] == kEndCode) {
        return EndStreamAt(call, file_position + kEndCodeBytes);
      }
      if (!held || !HasStartCodePrefix(bytes, buffer_position)) {
        return EndStreamAt(call, file_position);
      }
      if (bytes[buffer_position + 3] == kPackCode) break;
      if (call.ChainFailsAt(buffer_position)) return call.FailChain();

      const uint64_t packet_start = file_position;
      uint64_t size = (uint64_t{bytes[buffer_position + 4]} << 8 | bytes[buffer_position + 5]) +
                      kPacketLengthBytes;
      if (!HoldLongRecord(call, buffer_position, size, file_position)) {
        // Cut off by the range end: the stream ends with its last whole packet.
        return EndStreamAt(call, packet_start);
      }
      buffer_position += size;
      file_position += size;
      call.Compact(buffer_position);
    }
  }
}

}  // namespace officecarve
