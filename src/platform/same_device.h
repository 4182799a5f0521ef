#pragma once

#include <cstdint>
#include <string>

namespace officecarve {

// Which device a source is, so that output can be kept off it. An image file
// source is not a device: output may go anywhere beside it, but not onto the
// image file itself.
struct SourceIdentity {
  bool is_block_device = false;
  uint64_t rdev = 0;  // the device number of a block-device source
  bool is_image_file = false;
  uint64_t image_dev = 0;  // where an image file source lives, and its inode
  uint64_t image_ino = 0;
  // Windows names volumes by letter: the upper-case drive letter of a volume
  // source, '#' for an image file source, 0 when unknown.
  char drive_letter = 0;
  std::string image_path = {};  // Windows: the image file's absolute path
};

// Identifies the source at source_path: a block device, a regular (image)
// file, or, when it cannot be examined, the default identity.
SourceIdentity IdentifySource(const std::string& source_path);

// True when writing into folder would write onto the source device: the folder
// lives on the source itself, on a partition of a whole-disk source, on the
// whole disk holding a partition source, or on a volume stacked on any of
// these (device mapper, software RAID). A folder that does not exist yet is
// judged by the nearest folder above it that does, where it would be made.
// Always false for an image source.
// On Windows: the drive letter of the folder's absolute path is the source's
// (the sysfs and mountinfo arguments are not used there).
bool FolderIsOnSourceDevice(const std::string& folder, const SourceIdentity& source,
                            const std::string& sys_class_block = "/sys/class/block",
                            const std::string& mountinfo = "/proc/self/mountinfo");

// The same test for a file about to be written: the file may not exist yet,
// so its folder is examined; an existing file (or what a symlink names) is
// examined too, which also catches a target that is the source device node.
// For an image source, true only when the target is the image file itself.
bool TargetIsOnSourceDevice(const std::string& target_file_path, const SourceIdentity& source,
                            const std::string& sys_class_block = "/sys/class/block",
                            const std::string& mountinfo = "/proc/self/mountinfo");

}  // namespace officecarve
