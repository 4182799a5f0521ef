#include <array>
#include <cstdio>

#include "platform/block_devices.h"

namespace officecarve {

std::string HumanReadableSize(int64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes < 0 ? 0 : bytes) + " B";
  constexpr std::array<const char*, 6> kUnits = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double value = static_cast<double>(bytes) / 1024.0;
  size_t unit = 0;
  // Move up while the one-decimal text would read 1024.0 or more.
  while (value >= 1023.95 && unit + 1 < kUnits.size()) {
    value /= 1024.0;
    ++unit;
  }
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.1f %s", value, kUnits[unit]);
  return text.data();
}

std::string DescribeBlockDevice(const BlockDevice& device) {
  std::string text = device.path + " — " + HumanReadableSize(device.size_bytes);
  if (!device.label.empty()) text += " — " + device.label;
  return text;
}

}  // namespace officecarve
