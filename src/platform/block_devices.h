#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace officecarve {

// A disk or partition the user may choose as the source.
struct BlockDevice {
  std::string path;  // "/dev/sda1"
  std::string name;  // "sda1"
  int64_t size_bytes = 0;
  uint32_t logical_sector_size = 512;
  bool is_partition = false;
  std::string parent;  // the whole disk's name for a partition, else empty
  std::string label;   // file-system label, else the disk's model; may be empty
  bool read_only = false;
};

// The block devices the system knows, sorted by name (sda, sda1, sda2, sda10,
// sdb). The directories are parameters so that a fake tree can stand in.
std::vector<BlockDevice> ListBlockDevices(const std::string& sys_class_block = "/sys/class/block",
                                          const std::string& dev_dir = "/dev",
                                          const std::string& by_label_dir = "/dev/disk/by-label");

// The device path to open as a volume when a command-line source names one
// ("/dev/sdb1"; on Windows a drive letter, "D:" or "\\.\D:"); nullopt for
// anything else, which is opened as an image file.
std::optional<std::string> VolumePathForArgument(const std::string& argument);

// "/dev/sdb1 — 14.9 GiB — USBSTICK"; without the last part when there is no label.
std::string DescribeBlockDevice(const BlockDevice& device);

// A byte count for people: "512 B", "1.5 KiB", "14.9 GiB".
std::string HumanReadableSize(int64_t bytes);

}  // namespace officecarve
