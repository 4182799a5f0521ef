#include "scan/percent_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace officecarve {

void AppendPercentText(std::string& out, int64_t done, int64_t total) {
  int64_t hundredths = 0;
  if (total > 0) {
    // 128 bits hold done x 10000 for any done; only a done far beyond total
    // (which no caller passes) is clamped, keeping the negation below defined.
    const __int128 exact = static_cast<__int128>(done) * 10000 / total;
    hundredths = static_cast<int64_t>(std::clamp<__int128>(exact, -INT64_MAX, INT64_MAX));
  }
  if (hundredths < 0) {
    out += '-';
    hundredths = -hundredths;
  }
  // Decimal digits, zero-padded to at least three so "0.05" keeps its zeros.
  char digits[24];
  char* const digits_end = std::to_chars(digits + 2, digits + sizeof(digits), hundredths).ptr;
  char* first = digits + 2;
  while (digits_end - first < 3) *--first = '0';
  const char* const fraction = digits_end - 2;
  out.append(first, static_cast<size_t>(fraction - first));
  out += '.';
  out.append(fraction, 2);
  out += '%';
}

std::string PercentText(int64_t done, int64_t total) {
  std::string text;
  AppendPercentText(text, done, total);
  return text;
}

}  // namespace officecarve
