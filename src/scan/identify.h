#pragma once

#include <cstdint>
#include <span>

#include "scan/file_kind.h"

namespace officecarve {

// Bytes that Identify looks at; callers must hand it at least this many.
inline constexpr size_t kIdentifyBytes = 512;

// Decides from one sector alone whether it starts a file of a known kind or
// belongs to a FAT directory. Pure and allocation-free: it runs for every
// sector of a scan. Sectors shorter than kIdentifyBytes give FileKind::None.
FileKind Identify(std::span<const uint8_t> sector);

// Reverses the four bytes of a 32-bit value in place (big-endian <-> host).
void SwapBytes32(uint32_t& value);

// The system clock reference base of the MPEG pack header that starts the
// sector, or 0 when its marker bits are wrong.
uint64_t ReadPackClockMpeg2(std::span<const uint8_t> sector);
uint64_t ReadPackClockMpeg1(std::span<const uint8_t> sector);

// False for control bytes, 0xFF and the characters \ / : * ? " < > |.
bool IsShortNameChar(uint8_t byte);

}  // namespace officecarve
