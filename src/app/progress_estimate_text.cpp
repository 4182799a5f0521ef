#include "app/progress_estimate_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace officecarve {

std::string DurationText(std::chrono::seconds duration) {
  const long long total = std::max<long long>(0, duration.count());
  char text[32];
  std::snprintf(text, sizeof(text), "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                total % 60);
  return text;
}

std::string RateText(double bytes_per_second) {
  struct Unit {
    double bytes;
    const char* name;
  };
  static constexpr Unit kUnits[] = {{1e9, "GB/s"}, {1e6, "MB/s"}, {1e3, "KB/s"}};
  const double rate = std::max(0.0, bytes_per_second);
  for (const Unit& unit : kUnits) {
    const double value = rate / unit.bytes;
    if (value < 1.0 && unit.bytes > 1e3) continue;
    char text[32];
    // Two or three significant digits: enough to compare, few enough to read.
    const int decimals = value >= 100 ? 0 : value >= 10 ? 1 : unit.bytes == 1e9 ? 2 : 1;
    std::snprintf(text, sizeof(text), "%.*f %s", decimals, value, unit.name);
    return text;
  }
  return "0 KB/s";
}

ProgressEstimateParts EstimateParts(const UiTextTable& texts, const ProgressEstimate& estimate) {
  ProgressEstimateParts parts;
  if (estimate.bytes_per_second) parts.rate = RateText(*estimate.bytes_per_second);
  parts.elapsed = std::string(texts.Text(TextId::kElapsedPrefix)) + DurationText(estimate.elapsed);
  if (estimate.left) {
    parts.left = std::string(texts.Text(TextId::kTimeLeftPrefix)) + DurationText(*estimate.left);
  }
  return parts;
}

std::string ProgressEstimateText(const UiTextTable& texts, const ProgressEstimate& estimate) {
  const ProgressEstimateParts parts = EstimateParts(texts, estimate);
  std::string text;
  for (const std::string* part : {&parts.rate, &parts.elapsed, &parts.left}) {
    if (part->empty()) continue;
    if (!text.empty()) text += "  ";
    text += *part;
  }
  return text;
}

}  // namespace officecarve
