#include <cstdint>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/long_record.h"
#include "carvers/media/mpeg2_pack.h"
#include "carvers/media/mpeg2_pack_run.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr uint64_t kEndCodeBytes = 4;
// The most a pack header may need held: its 14 bytes and 7 of stuffing.
constexpr uint64_t kLongestPackHeader = kMpeg2PackHeaderBytes + 7;

// A stream is a pack header and at least one packet; a lone pack header is
// taken for a stray match.
void EndStreamAt(CarverCall& call, uint64_t file_end, uint64_t packets) {
  if (packets == 0) return call.Fail();
  call.TrimTo(file_end);
  call.Complete();
}

}  // namespace

// Walks packs and packets as the MPEG-1 program stream carver does, with the
// MPEG-2 pack header (14 bytes and its stuffing), and with two differences:
// the first pack's clock may be anything (a recording cut from a longer one
// starts where it was cut), and a later pack of another form ends the stream
// before it instead of failing it, since what precedes it is a whole stream.
void CarveMpeg2ProgramStream(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  if (call.Held() < kLongestPackHeader || !IsMpeg2PackHeader(call.Bytes(), 0)) return call.Fail();
  if (ContinuesPackStream(env, offset, Mpeg2PackClock(call.Bytes(), 0))) return call.Fail();
  const uint64_t cluster_bytes =
      uint64_t{env.sectors_per_cluster > 0 ? env.sectors_per_cluster : 1} * env.bytes_per_sector;

  uint64_t buffer_position = 0;
  uint64_t file_position = 0;
  uint64_t packets = 0;
  int64_t last_clock = -1;
  while (true) {
    // A pack header of MPEG-2 form, stuffing held, at the buffer position.
    std::span<const uint8_t> bytes = call.Bytes();
    const int64_t clock = Mpeg2PackClock(bytes, buffer_position);
    if (file_position > 0 && file_position % cluster_bytes == 0 &&
        (clock <= last_clock || clock - last_clock > kMpeg2MaxClockStep)) {
      return EndStreamAt(call, file_position, packets);
    }
    last_clock = clock;
    const uint64_t pack_bytes = Mpeg2PackBytes(bytes, buffer_position);
    buffer_position += pack_bytes;
    file_position += pack_bytes;
    // Packs may follow packs with no packet between them.
    call.Compact(buffer_position);

    // Packets up to the next pack header.
    while (true) {
      const bool held = call.ReadUntil(buffer_position + kMpeg2PackHeaderBytes);
      bytes = call.Bytes();
      // The end code is four bytes without a length: read as a packet it
      // would take a length from whatever follows the stream.
      if (bytes.size() >= buffer_position + kEndCodeBytes &&
          HasStartCodePrefix(bytes, buffer_position) &&
          bytes[buffer_position + 3] == kMpeg2EndCode) {
        return EndStreamAt(call, file_position + kEndCodeBytes, packets);
      }
      if (!held || !HasStartCodePrefix(bytes, buffer_position)) {
        return EndStreamAt(call, file_position, packets);
      }
      const uint8_t code = bytes[buffer_position + 3];
      if (code == kMpeg2PackCode) {
        if (!IsMpeg2PackHeader(bytes, buffer_position) ||
            !call.ReadUntil(buffer_position + Mpeg2PackBytes(bytes, buffer_position))) {
          return EndStreamAt(call, file_position, packets);
        }
        break;
      }
      // Start codes below the first stream id belong inside video, never
      // between packets.
      if (code < kMpeg2FirstStreamId) return EndStreamAt(call, file_position, packets);

      const uint64_t packet_start = file_position;
      uint64_t size = Mpeg2PacketBytes(bytes, buffer_position);
      if (!HoldLongRecord(call, buffer_position, size, file_position)) {
        // Cut off by the range end: the stream ends with its last whole packet.
        return EndStreamAt(call, packet_start, packets);
      }
      buffer_position += size;
      file_position += size;
      ++packets;
      call.Compact(buffer_position);
    }
  }
}

}  // namespace officecarve
