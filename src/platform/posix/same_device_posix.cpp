#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/posix/sysfs_read.h"
#include "platform/same_device.h"

namespace officecarve {
namespace {

namespace fs = std::filesystem;

// Bounds for walking trees and files we do not control.
constexpr size_t kMaxEntries = 4096;
constexpr size_t kMaxMountLines = 100000;
constexpr size_t kMaxStackDepth = 16;

// One block device of the class folder: its number and, for a partition, the
// number of its whole disk (0 when none).
struct DeviceNode {
  std::string name;
  uint64_t dev = 0;
  uint64_t disk_dev = 0;
};

class DeviceTable {
 public:
  explicit DeviceTable(const std::string& sys_class_block) : sys_class_block_(sys_class_block) {
    std::error_code error;
    fs::directory_iterator it(sys_class_block, error);
    for (size_t seen = 0; !error && it != fs::directory_iterator() && seen < kMaxEntries;
         it.increment(error), ++seen) {
      const std::string name = it->path().filename().string();
      const auto dev = DevOf(name);
      if (dev) nodes_.push_back({name, *dev, 0});
    }
    for (DeviceNode& node : nodes_) {
      std::error_code exists_error;
      if (!fs::exists(fs::path(sys_class_block) / node.name / "partition", exists_error)) continue;
      const std::string parent = posix::PartitionParentName(sys_class_block, node.name);
      if (const DeviceNode* disk = FindByName(parent)) node.disk_dev = disk->dev;
    }
  }

  const DeviceNode* Find(uint64_t dev) const {
    for (const DeviceNode& node : nodes_) {
      if (node.dev == dev) return &node;
    }
    return nullptr;
  }

  // The devices a stacked device (device mapper, RAID) is built on.
  std::vector<uint64_t> SlavesOf(const DeviceNode& node) const {
    std::vector<uint64_t> slaves;
    std::error_code error;
    fs::directory_iterator it(fs::path(sys_class_block_) / node.name / "slaves", error);
    for (size_t seen = 0; !error && it != fs::directory_iterator() && seen < kMaxEntries;
         it.increment(error), ++seen) {
      if (const DeviceNode* slave = FindByName(it->path().filename().string())) {
        slaves.push_back(slave->dev);
      }
    }
    return slaves;
  }

 private:
  std::optional<uint64_t> DevOf(const std::string& name) const {
    const auto text = posix::ReadTrimmedLine((fs::path(sys_class_block_) / name / "dev").string());
    return text ? posix::ParseMajorMinor(*text) : std::nullopt;
  }

  const DeviceNode* FindByName(const std::string& name) const {
    for (const DeviceNode& node : nodes_) {
      if (node.name == name) return &node;
    }
    return nullptr;
  }

  std::string sys_class_block_;
  std::vector<DeviceNode> nodes_;
};

// mountinfo writes space, tab, newline and backslash in paths as \ooo.
std::string DecodeOctalEscapes(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3' &&
        text[i + 2] >= '0' && text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
      decoded += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                   (text[i + 3] - '0'));
      i += 3;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

// File systems such as btrfs report an anonymous device number (major 0) in
// st_dev; the block devices behind them are named as mount sources.
std::vector<uint64_t> MountSourcesOf(uint64_t anonymous_dev, const std::string& mountinfo) {
  std::vector<uint64_t> sources;
  std::ifstream in(mountinfo);
  std::string line;
  for (size_t lines = 0; lines < kMaxMountLines && std::getline(in, line); ++lines) {
    std::istringstream fields(line);
    std::string mount_id, parent_id, major_minor, field;
    if (!(fields >> mount_id >> parent_id >> major_minor)) continue;
    const auto dev = posix::ParseMajorMinor(major_minor);
    if (!dev || *dev != anonymous_dev) continue;
    while (fields >> field && field != "-") {
    }
    std::string fs_type, source;
    if (!(fields >> fs_type >> source) || source.empty() || source[0] != '/') continue;
    struct stat info {};
    if (stat(DecodeOctalEscapes(source).c_str(), &info) == 0 && S_ISBLK(info.st_mode)) {
      sources.push_back(info.st_rdev);
    }
  }
  return sources;
}

// True when writing to a file system whose st_dev is `dev` may write onto the source.
bool DeviceOverlapsSource(uint64_t dev, const SourceIdentity& source,
                          const std::string& sys_class_block, const std::string& mountinfo) {
  if (!source.is_block_device) return false;
  const DeviceTable table(sys_class_block);
  const DeviceNode* source_node = table.Find(source.rdev);
  const uint64_t source_disk = source_node ? source_node->disk_dev : 0;

  std::vector<uint64_t> pending = {dev};
  if (major(dev) == 0) {
    for (const uint64_t backing : MountSourcesOf(dev, mountinfo)) pending.push_back(backing);
  }
  std::set<uint64_t> visited;
  // Each round descends one level of stacking (a volume on a RAID on partitions ...).
  for (size_t depth = 0; depth < kMaxStackDepth && !pending.empty(); ++depth) {
    std::vector<uint64_t> next;
    for (const uint64_t candidate : pending) {
      if (!visited.insert(candidate).second) continue;
      if (candidate == source.rdev) return true;
      // A whole-disk source holds all its partitions; a partition source lies inside its disk.
      if (source_disk != 0 && candidate == source_disk) return true;
      const DeviceNode* node = table.Find(candidate);
      if (node == nullptr) continue;
      if (node->disk_dev != 0 && node->disk_dev == source.rdev) return true;
      for (const uint64_t slave : table.SlavesOf(*node)) next.push_back(slave);
    }
    pending = std::move(next);
  }
  return false;
}

}  // namespace

SourceIdentity IdentifySource(const std::string& source_path) {
  struct stat info {};
  SourceIdentity identity;
  if (stat(source_path.c_str(), &info) != 0) return identity;
  if (S_ISBLK(info.st_mode)) {
    identity.is_block_device = true;
    identity.rdev = info.st_rdev;
  } else if (S_ISREG(info.st_mode)) {
    identity.is_image_file = true;
    identity.image_dev = info.st_dev;
    identity.image_ino = info.st_ino;
  }
  return identity;
}

bool FolderIsOnSourceDevice(const std::string& folder, const SourceIdentity& source,
                            const std::string& sys_class_block, const std::string& mountinfo) {
  if (!source.is_block_device) return false;
  // A folder not made yet will be made where the nearest folder above it lives.
  fs::path current = fs::path(folder).lexically_normal();
  struct stat info {};
  for (size_t up = 0; stat(current.c_str(), &info) != 0; ++up) {
    if (errno != ENOENT && errno != ENOTDIR) return false;
    fs::path parent = current.parent_path();
    if (parent.empty()) parent = ".";
    if (up >= kMaxEntries || parent == current) return false;
    current = parent;
  }
  return DeviceOverlapsSource(info.st_dev, source, sys_class_block, mountinfo);
}

bool TargetIsOnSourceDevice(const std::string& target_file_path, const SourceIdentity& source,
                            const std::string& sys_class_block, const std::string& mountinfo) {
  if (source.is_image_file) {
    // Replacing the image with its own backup would truncate the source first.
    struct stat info {};
    return stat(target_file_path.c_str(), &info) == 0 && info.st_dev == source.image_dev &&
           info.st_ino == source.image_ino;
  }
  if (!source.is_block_device) return false;
  const fs::path target(target_file_path);
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  if (FolderIsOnSourceDevice(folder.string(), source, sys_class_block, mountinfo)) return true;
  // An existing target is where the bytes would really go: through a symlink
  // elsewhere, or straight onto a device when the target is a device node.
  struct stat info {};
  if (stat(target_file_path.c_str(), &info) != 0) return false;
  if (S_ISBLK(info.st_mode)) {
    return DeviceOverlapsSource(info.st_rdev, source, sys_class_block, mountinfo);
  }
  return DeviceOverlapsSource(info.st_dev, source, sys_class_block, mountinfo);
}

}  // namespace officecarve
