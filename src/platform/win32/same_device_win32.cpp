#include <windows.h>

#include <filesystem>
#include <system_error>

#include "platform/same_device.h"
#include "platform/win32/text_conversion.h"
#include "platform/win32/volume_path.h"
#include "platform/win32/win32_calls.h"

namespace officecarve {

SourceIdentity IdentifySource(const std::string& source_path) {
  SourceIdentity identity;
  if (const char letter = win32::VolumeLetterOfDevicePath(source_path)) {
    identity.is_block_device = true;
    identity.drive_letter = letter;
    return identity;
  }
  const auto wide_path = win32::Utf8ToWide(source_path);
  if (!wide_path || wide_path->empty()) return identity;
  const DWORD attributes = win32::Calls().get_file_attributes_w(wide_path->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return identity;
  }
  identity.is_image_file = true;
  identity.drive_letter = '#';
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(*wide_path, error);
  identity.image_path = error ? source_path : win32::WideToUtf8(absolute.native());
  return identity;
}

// The drive is judged on the absolute path: a relative folder lies on the
// current drive, and a first character alone ("out\", "\\?\D:\") would let it
// pass for another drive and overwrite the sectors being recovered.
bool FolderIsOnSourceDevice(const std::string& folder, const SourceIdentity& source,
                            const std::string& /*sys_class_block*/,
                            const std::string& /*mountinfo*/) {
  if (!source.is_block_device || source.drive_letter == 0) return false;
  return win32::DriveLetterOfPath(folder) == source.drive_letter;
}

bool TargetIsOnSourceDevice(const std::string& target_file_path, const SourceIdentity& source,
                            const std::string& sys_class_block, const std::string& mountinfo) {
  if (source.is_image_file) {
    // Replacing the image with its own backup would truncate the source first.
    const auto target = win32::Utf8ToWide(target_file_path);
    const auto image = win32::Utf8ToWide(source.image_path);
    if (!target || !image || target->empty() || image->empty()) return false;
    std::error_code error;
    return std::filesystem::equivalent(*target, *image, error) && !error;
  }
  return FolderIsOnSourceDevice(target_file_path, source, sys_class_block, mountinfo);
}

}  // namespace officecarve
