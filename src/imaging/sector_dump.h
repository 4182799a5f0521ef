#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace officecarve {

// The header line of the sector dump (117 characters).
extern const char* const kSectorDumpHeader;

// One sector as the viewer shows it: the header line, then one line per 32
// bytes: the offset (at least three hex digits), ": ", sixteen groups of four
// hex digits in stored byte order each followed by a blank, and the 32
// characters of the bytes (0x20..0x7E as themselves, others as "."). A
// trailing partial line is left out.
std::vector<std::string> SectorDumpLines(std::span<const uint8_t> sector);

}  // namespace officecarve
