#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace officecarve {

// Entry names come from the file and may be anything; a problem sentence
// shows them as plain ASCII (other bytes escaped as \xNN, other UTF-16 code
// units as \uNNNN), cut short when long, so reports stay readable and valid.
std::string PrintableName(std::span<const uint8_t> name_bytes);
std::string PrintableUtf16Name(std::span<const uint8_t> utf16le_units);

}  // namespace officecarve
