#include "cli/xml_text.h"

#include <cstdint>

namespace officecarve::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool AllowedInXml(uint32_t code_point) {
  return code_point == 0x9 || code_point == 0xA || code_point == 0xD ||
         (code_point >= 0x20 && code_point <= 0xD7FF) ||
         (code_point >= 0xE000 && code_point <= 0xFFFD) ||
         (code_point >= 0x10000 && code_point <= 0x10FFFF);
}

// The length of the well-formed UTF-8 sequence at `at` and its code point;
// 0 when the bytes there are not one (overlong forms and surrogates included).
size_t DecodeAt(std::string_view text, size_t at, uint32_t& code_point) {
  const auto lead = static_cast<uint8_t>(text[at]);
  size_t length = 0;
  uint32_t smallest = 0;
  if (lead < 0x80) {
    code_point = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, smallest = 0x80, code_point = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, smallest = 0x800, code_point = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, smallest = 0x10000, code_point = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code_point = code_point << 6 | (next & 0x3F);
  }
  if (code_point < smallest || (code_point >= 0xD800 && code_point <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string XmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    uint32_t code_point = 0;
    const size_t length = DecodeAt(text, at, code_point);
    if (length == 0 || !AllowedInXml(code_point)) {
      out += kReplacement;
      at += length == 0 ? 1 : length;
      continue;
    }
    out.append(text.substr(at, length));
    at += length;
  }
  return out;
}

}  // namespace officecarve::cli
