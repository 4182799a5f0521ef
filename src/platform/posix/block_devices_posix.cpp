#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <map>
#include <string_view>
#include <system_error>

#include "platform/block_devices.h"
#include "platform/posix/sysfs_read.h"

namespace officecarve {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kDefaultSectorSize = 512;
constexpr uint32_t kMaxSectorSize = 65536;
// Bounds a directory walk over a tree we do not control.
constexpr size_t kMaxEntries = 4096;

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// udev writes unsafe label characters as \xNN ("MY\x20DISK"). Control
// characters are not decoded: the label is only ever shown.
std::string DecodeUdevEscapes(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      const int high = HexValue(text[i + 2]);
      const int low = HexValue(text[i + 3]);
      if (high >= 0 && low >= 0 && high * 16 + low >= 0x20) {
        decoded += static_cast<char>(high * 16 + low);
        i += 3;
        continue;
      }
    }
    decoded += text[i];
  }
  return decoded;
}

// Device name -> file-system label, from the symlinks of the by-label folder.
std::map<std::string, std::string> LabelsByDeviceName(const std::string& by_label_dir) {
  std::map<std::string, std::string> labels;
  std::error_code error;
  fs::directory_iterator it(by_label_dir, error);
  for (size_t seen = 0; !error && it != fs::directory_iterator() && seen < kMaxEntries;
       it.increment(error), ++seen) {
    const fs::path target = fs::read_symlink(it->path(), error);
    if (error) {
      error.clear();
      continue;
    }
    const std::string device_name = target.filename().string();
    if (!device_name.empty()) {
      labels.emplace(device_name, DecodeUdevEscapes(it->path().filename().string()));
    }
  }
  return labels;
}

// Orders names as people read them: sda2 before sda10.
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const bool a_digit = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
    const bool b_digit = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
    if (a_digit && b_digit) {
      size_t a_end = i;
      size_t b_end = j;
      while (a_end < a.size() && std::isdigit(static_cast<unsigned char>(a[a_end]))) ++a_end;
      while (b_end < b.size() && std::isdigit(static_cast<unsigned char>(b[b_end]))) ++b_end;
      // Compare digit runs by value without converting: skip leading zeros, then length.
      size_t a_start = i;
      size_t b_start = j;
      while (a_start + 1 < a_end && a[a_start] == '0') ++a_start;
      while (b_start + 1 < b_end && b[b_start] == '0') ++b_start;
      const std::string_view a_run(a.data() + a_start, a_end - a_start);
      const std::string_view b_run(b.data() + b_start, b_end - b_start);
      if (a_run.size() != b_run.size()) return a_run.size() < b_run.size();
      if (a_run != b_run) return a_run < b_run;
      i = a_end;
      j = b_end;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j || (a.size() - i == b.size() - j && a < b);
}

uint32_t SectorSizeOf(const fs::path& disk_entry) {
  const auto text = posix::ReadTrimmedLine((disk_entry / "queue" / "logical_block_size").string());
  const auto value = text ? posix::ParseDecimal(*text) : std::nullopt;
  if (!value || *value == 0 || *value > kMaxSectorSize) return kDefaultSectorSize;
  return static_cast<uint32_t>(*value);
}

}  // namespace

std::vector<BlockDevice> ListBlockDevices(const std::string& sys_class_block,
                                          const std::string& dev_dir,
                                          const std::string& by_label_dir) {
  const fs::path sys_root(sys_class_block);
  const auto labels = LabelsByDeviceName(by_label_dir);
  std::vector<BlockDevice> devices;
  std::error_code error;
  fs::directory_iterator it(sys_root, error);
  for (size_t seen = 0; !error && it != fs::directory_iterator() && seen < kMaxEntries;
       it.increment(error), ++seen) {
    const fs::path entry = it->path();
    BlockDevice device;
    device.name = entry.filename().string();
    const auto size_text = posix::ReadTrimmedLine((entry / "size").string());
    const auto size_units = size_text ? posix::ParseDecimal(*size_text) : std::nullopt;
    // The size file counts 512-byte units whatever the sector size.
    if (!size_units ||
        *size_units > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) / 512) {
      continue;
    }
    device.size_bytes = static_cast<int64_t>(*size_units * 512);
    if (device.size_bytes == 0 &&
        (StartsWith(device.name, "ram") || StartsWith(device.name, "loop"))) {
      continue;
    }
    std::error_code exists_error;
    device.is_partition = fs::exists(entry / "partition", exists_error);
    if (device.is_partition)
      device.parent = posix::PartitionParentName(sys_class_block, device.name);
    const fs::path disk_entry = device.parent.empty() ? entry : sys_root / device.parent;
    device.logical_sector_size = SectorSizeOf(disk_entry);
    device.read_only = posix::ReadTrimmedLine((entry / "ro").string()).value_or("0") == "1";
    if (const auto label = labels.find(device.name); label != labels.end()) {
      device.label = label->second;
    } else {
      device.label =
          posix::ReadTrimmedLine((disk_entry / "device" / "model").string()).value_or("");
    }
    // Names with '!' stand for subfolders of /dev ("cciss!c0d0" is /dev/cciss/c0d0).
    std::string dev_name = device.name;
    std::replace(dev_name.begin(), dev_name.end(), '!', '/');
    device.path = dev_dir + "/" + dev_name;
    devices.push_back(std::move(device));
  }
  std::sort(devices.begin(), devices.end(),
            [](const BlockDevice& a, const BlockDevice& b) { return NaturalLess(a.name, b.name); });
  return devices;
}

std::optional<std::string> VolumePathForArgument(const std::string& argument) {
  struct stat facts {};
  if (::stat(argument.c_str(), &facts) == 0 && S_ISBLK(facts.st_mode)) return argument;
  return std::nullopt;
}

}  // namespace officecarve
