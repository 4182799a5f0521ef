#include <windows.h>

#include <array>
#include <limits>

#include "platform/block_devices.h"
#include "platform/win32/text_conversion.h"
#include "platform/win32/volume_path.h"
#include "platform/win32/win32_calls.h"

namespace officecarve {
namespace {

constexpr uint32_t kMaxSectorSize = 65536;

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

BlockDevice DescribeDrive(char letter, UINT drive_type) {
  const win32::Win32Calls& calls = win32::Calls();
  const std::array<char, 4> root = {letter, ':', '\\', '\0'};
  BlockDevice device;
  device.path = win32::VolumeDevicePath(letter);
  device.name = std::string(1, letter) + ":";
  device.read_only = drive_type == DRIVE_CDROM;
  ULARGE_INTEGER total_bytes{};
  if (calls.get_disk_free_space_ex_a(root.data(), nullptr, &total_bytes, nullptr)) {
    device.size_bytes =
        total_bytes.QuadPart > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
            ? std::numeric_limits<int64_t>::max()
            : static_cast<int64_t>(total_bytes.QuadPart);
  }
  const std::array<char, 3> bare_root = {letter, ':', '\0'};
  DWORD sectors_per_cluster = 0;
  DWORD bytes_per_sector = 0;
  DWORD free_clusters = 0;
  DWORD total_clusters = 0;
  if (calls.get_disk_free_space_a(bare_root.data(), &sectors_per_cluster, &bytes_per_sector,
                                  &free_clusters, &total_clusters) &&
      bytes_per_sector != 0 && bytes_per_sector <= kMaxSectorSize) {
    device.logical_sector_size = bytes_per_sector;
  }
  std::array<char, MAX_PATH + 1> label{};
  if (calls.get_volume_information_a(root.data(), label.data(), static_cast<DWORD>(label.size()),
                                     nullptr, nullptr, nullptr, nullptr, 0)) {
    label.back() = '\0';
    device.label = win32::AnsiToUtf8(label.data());
  }
  return device;
}

}  // namespace

// The drives the system has lettered, A: to Z:. The folder arguments belong to
// the Linux device tree and are not used here.
std::vector<BlockDevice> ListBlockDevices(const std::string& /*sys_class_block*/,
                                          const std::string& /*dev_dir*/,
                                          const std::string& /*by_label_dir*/) {
  const win32::Win32Calls& calls = win32::Calls();
  const DWORD drives = calls.get_logical_drives();
  std::vector<BlockDevice> devices;
  for (int index = 0; index < 26; ++index) {
    if ((drives & (DWORD{1} << index)) == 0) continue;
    const char letter = static_cast<char>('A' + index);
    const std::array<char, 4> root = {letter, ':', '\\', '\0'};
    const UINT drive_type = calls.get_drive_type_a(root.data());
    if (drive_type == DRIVE_UNKNOWN || drive_type == DRIVE_NO_ROOT_DIR) continue;
    devices.push_back(DescribeDrive(letter, drive_type));
  }
  return devices;
}

std::optional<std::string> VolumePathForArgument(const std::string& argument) {
  // "D:", "D:\" and "\\.\D:" all name drive D.
  if ((argument.size() == 2 || (argument.size() == 3 && argument[2] == '\\')) &&
      IsLetter(argument[0]) && argument[1] == ':') {
    return win32::VolumeDevicePath(argument[0]);
  }
  if (const char letter = win32::VolumeLetterOfDevicePath(argument)) {
    return win32::VolumeDevicePath(letter);
  }
  return std::nullopt;
}

}  // namespace officecarve
