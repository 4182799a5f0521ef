#pragma once

#include <cstdint>
#include <span>

#include "core/byte_order.h"
#include "scan/identify.h"

namespace officecarve {

// The records of an MPEG-2 program stream: pack headers (00 00 01 BA, 14
// bytes and up to 7 stuffing bytes), packets of 6 bytes plus their 16-bit
// length (system header BB, padding BE, audio, video and private streams up
// to FF) and the program end code 00 00 01 B9.
inline constexpr uint64_t kMpeg2PackHeaderBytes = 14;
inline constexpr uint64_t kMpeg2PacketLengthBytes = 6;  // start code and the 16-bit length
inline constexpr uint8_t kMpeg2PackCode = 0xBA;
inline constexpr uint8_t kMpeg2EndCode = 0xB9;
inline constexpr uint8_t kMpeg2FirstStreamId = 0xBB;
// Largest clock advance (90 kHz ticks) from one cluster's first pack to the
// pack before it; anything else is a cluster of another file.
inline constexpr int64_t kMpeg2MaxClockStep = 800'000;

inline bool HasStartCodePrefix(std::span<const uint8_t> bytes, uint64_t at) {
  return bytes[at] == 0 && bytes[at + 1] == 0 && bytes[at + 2] == 1;
}

// A pack header of MPEG-2 form at `at` (14 bytes held) with every marker bit
// of its clock and mux rate set.
inline bool IsMpeg2PackHeader(std::span<const uint8_t> bytes, uint64_t at) {
  return HasStartCodePrefix(bytes, at) && bytes[at + 3] == kMpeg2PackCode &&
         (bytes[at + 4] & 0xC4) == 0x44 && (bytes[at + 6] & 0x04) != 0 &&
         (bytes[at + 8] & 0x04) != 0 && (bytes[at + 9] & 0x01) != 0 &&
         (bytes[at + 12] & 0x03) == 0x03;
}

// Header and stuffing of the pack header at `at`.
inline uint64_t Mpeg2PackBytes(std::span<const uint8_t> bytes, uint64_t at) {
  return kMpeg2PackHeaderBytes + (bytes[at + 13] & 0x07);
}

// The 33-bit clock of the pack header at `at`; always fits.
inline int64_t Mpeg2PackClock(std::span<const uint8_t> bytes, uint64_t at) {
  return static_cast<int64_t>(ReadPackClockMpeg2(bytes.subspan(at)));
}

// Bytes of the packet whose start code is at `at` (6 bytes held).
inline uint64_t Mpeg2PacketBytes(std::span<const uint8_t> bytes, uint64_t at) {
  return kMpeg2PacketLengthBytes + Be16At(bytes, at + 4);
}

}  // namespace officecarve
