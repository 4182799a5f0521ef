#include <cstdint>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

// A 4-byte arrival time stamp, then a 188-byte transport packet.
constexpr uint64_t kPacketBytes = 192;
// The bare transport packet, as most recorders and streaming writers store it.
constexpr uint64_t kBarePacketBytes = 188;
constexpr uint64_t kSyncAt = 4;
constexpr uint8_t kSyncByte = 0x47;
constexpr uint64_t kFirstWalkedPacket = 3;
constexpr uint32_t kArrivalTimeMask = 0x3FFFFFFF;
// Largest arrival-time advance (27 MHz ticks) from a cluster's first packet
// to the last packet before it; anything else is a cluster of another file.
constexpr uint32_t kMaxArrivalTimeStep = 3'200'000;
// The buffer keeps its first stretch and drops the next one whenever the walk
// has gone past the compaction point.
constexpr uint64_t kCompactBeyond = 8'404'992;
constexpr uint64_t kKeptBytes = 2'101'248;
constexpr uint64_t kDroppedUpTo = 4'202'496;

// Drops a stretch of the held bytes once the walk has gone past the
// compaction point; `buffer_position` follows the bytes it stood at.
void CompactWalk(CarverCall& call, uint64_t& buffer_position) {
  if (buffer_position <= kCompactBeyond) return;
  call.DropHeld(kKeptBytes, kDroppedUpTo);
  buffer_position -= kDroppedUpTo - kKeptBytes;
}

}  // namespace

void CarveTransportStream(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const uint64_t cluster_bytes =
      uint64_t{env.sectors_per_cluster > 0 ? env.sectors_per_cluster : 1} * env.bytes_per_sector;

  uint64_t buffer_position = kFirstWalkedPacket * kPacketBytes;
  uint64_t file_position = buffer_position;
  const std::span<const uint8_t> header = call.Bytes();
  if (header.size() <= (kFirstWalkedPacket - 1) * kPacketBytes + kSyncAt) return call.Fail();
  for (uint64_t packet = 0; packet < kFirstWalkedPacket; ++packet) {
    if (header[packet * kPacketBytes + kSyncAt] != kSyncByte) return call.Fail();
  }
  uint32_t last_time = Be32At(header, (kFirstWalkedPacket - 1) * kPacketBytes);
  while (call.ReadUntil(buffer_position + kPacketBytes)) {
    const std::span<const uint8_t> bytes = call.Bytes();
    if (bytes[buffer_position + kSyncAt] != kSyncByte) break;
    const uint32_t time = Be32At(bytes, buffer_position);
    // Unsigned subtraction: the 30-bit arrival clock wraps.
    if (file_position % cluster_bytes == 0 &&
        ((time - last_time) & kArrivalTimeMask) > kMaxArrivalTimeStep) {
      break;
    }
    last_time = time;
    buffer_position += kPacketBytes;
    file_position += kPacketBytes;
    CompactWalk(call, buffer_position);
  }
  // A stream has no length of its own: it ends with its last accepted packet,
  // wherever the walk stopped.
  call.TrimTo(file_position);
  call.Complete();
}

// Bare packets carry no clock of their own: the stream goes on while each
// packet starts with the sync byte, and ends with the last one that does.
void CarveBareTransportStream(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  if (header.size() <= (kFirstWalkedPacket - 1) * kBarePacketBytes) return call.Fail();
  for (uint64_t packet = 0; packet < kFirstWalkedPacket; ++packet) {
    if (header[packet * kBarePacketBytes] != kSyncByte) return call.Fail();
  }
  uint64_t buffer_position = 0;
  uint64_t file_position = 0;
  while (call.ReadUntil(buffer_position + kBarePacketBytes)) {
    if (call.Bytes()[buffer_position] != kSyncByte) break;
    buffer_position += kBarePacketBytes;
    file_position += kBarePacketBytes;
    CompactWalk(call, buffer_position);
  }
  call.TrimTo(file_position);
  call.Complete();
}

}  // namespace officecarve
