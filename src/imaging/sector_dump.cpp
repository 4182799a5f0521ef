#include "imaging/sector_dump.h"

namespace officecarve {
namespace {

constexpr size_t kBytesPerLine = 32;
constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, uint8_t byte) {
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0F];
}

// The offset in upper-case hex, at least three digits.
void AppendOffset(std::string& out, size_t offset) {
  std::string digits;
  do {
    digits.insert(digits.begin(), kHexDigits[offset & 0x0F]);
    offset >>= 4;
  } while (offset != 0);
  while (digits.size() < 3) digits.insert(digits.begin(), '0');
  out += digits;
}

char Printable(uint8_t byte) {
  return byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '.';
}

}  // namespace

const char* const kSectorDumpHeader =
    "     0 1  2 3  4 5  6 7  8 9  A B  C D  E F  0 1  2 3  4 5  6 7  8 9  A B  C D  E F  "
    "0123456789ABCDEF0123456789ABCDEF";

std::vector<std::string> SectorDumpLines(std::span<const uint8_t> sector) {
  std::vector<std::string> lines;
  lines.reserve(1 + sector.size() / kBytesPerLine);
  lines.emplace_back(kSectorDumpHeader);
  for (size_t start = 0; sector.size() - start >= kBytesPerLine; start += kBytesPerLine) {
    std::string line;
    std::string column;
    AppendOffset(line, start);
    line += ": ";
    for (size_t i = start; i < start + kBytesPerLine; i += 2) {
      AppendHexByte(line, sector[i]);
      AppendHexByte(line, sector[i + 1]);
      line += ' ';
      column += Printable(sector[i]);
      column += Printable(sector[i + 1]);
    }
    lines.push_back(line + column);
  }
  return lines;
}

}  // namespace officecarve
