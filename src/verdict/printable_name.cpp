#include "verdict/printable_name.h"

namespace officecarve {
namespace {

constexpr size_t kMaxShownCharacters = 80;

void AppendHex(std::string& text, uint32_t value, int digits) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
    text.push_back(kDigits[(value >> shift) & 0xF]);
  }
}

// `unit` is a byte, or a UTF-16 code unit when `wide`.
void AppendCodeUnit(std::string& text, uint32_t unit, bool wide) {
  if (unit >= 0x20 && unit < 0x7F && unit != '\\') {
    text.push_back(static_cast<char>(unit));
  } else if (wide && unit > 0xFF) {
    text += "\\u";
    AppendHex(text, unit, 4);
  } else {
    text += "\\x";
    AppendHex(text, unit, 2);
  }
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
