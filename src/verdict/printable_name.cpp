#include "verdict/printable_name.h"

#include <cstdio>

namespace officecarve {
namespace {

constexpr size_t kMaxShownCharacters = 80;

void AppendCodeUnit(std::string& text, uint32_t unit, bool wide) {
  if (unit >= 0x20 && unit < 0x7F && unit != '\\') {
    text.push_back(static_cast<char>(unit));
    return;
  }
  char escaped[8];
  if (wide && unit > 0xFF) {
    std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
  } else {
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(unit));
  }
  text += escaped;
}

}  // namespace

std::string PrintableName(std::span<const uint8_t> name_bytes) {
  std::string text;
  for (size_t i = 0; i < name_bytes.size(); ++i) {
    if (text.size() >= kMaxShownCharacters) return text + "...";
    AppendCodeUnit(text, name_bytes[i], false);
  }
  return text;
}

std::string PrintableUtf16Name(std::span<const uint8_t> utf16le_units) {
  std::string text;
  for (size_t i = 0; i + 1 < utf16le_units.size(); i += 2) {
    if (text.size() >= kMaxShownCharacters) return text + "...";
    AppendCodeUnit(text, utf16le_units[i] | (uint32_t{utf16le_units[i + 1]} << 8), true);
  }
  return text;
}

}  // namespace officecarve
