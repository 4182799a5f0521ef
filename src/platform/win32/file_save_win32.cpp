#include <windows.h>

#include <filesystem>
#include <system_error>

#include "platform/file_save.h"
#include "platform/win32/handle_io.h"
#include "platform/win32/text_conversion.h"
#include "platform/win32/win32_calls.h"

namespace officecarve {

// Files on Windows belong to whoever made them; there is nobody to hand them to.
SaveResult SaveFileReplacing(const std::string& path, std::span<const uint8_t> bytes,
                             const std::optional<FileOwner>&) {
  const win32::Win32Calls& calls = win32::Calls();
  const auto wide_path = win32::Utf8ToWide(path);
  if (!wide_path || wide_path->empty()) return {false, ERROR_INVALID_NAME};

  const DWORD attributes = calls.get_file_attributes_w(wide_path->c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // A folder of that name is no document to replace.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {false, ERROR_ACCESS_DENIED};
    // A read-only, hidden or system file left by an earlier run must not block
    // the new copy: it becomes a plain archive file first.
    if (!calls.set_file_attributes_w(wide_path->c_str(), FILE_ATTRIBUTE_ARCHIVE)) {
      return {false, static_cast<int>(calls.get_last_error())};
    }
  }

  const HANDLE file = calls.create_file_w(wide_path->c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = calls.get_last_error();
    return {false, static_cast<int>(error != NO_ERROR ? error : ERROR_OPEN_FAILED)};
  }
  DWORD error = win32::WriteAllToHandle(file, bytes);
  const DWORD close_error = win32::CloseHandleChecked(file);
  if (error == NO_ERROR) error = close_error;
  if (error != NO_ERROR) {
    // A truncated document would pass for a recovered one; the caller reports
    // the failure and may retry.
    calls.delete_file_w(wide_path->c_str());
    return {false, static_cast<int>(error)};
  }
  return {true, 0};
}

bool IsExistingDirectory(const std::string& path) {
  const auto wide_path = win32::Utf8ToWide(path);
  if (!wide_path || wide_path->empty()) return false;
  const DWORD attributes = win32::Calls().get_file_attributes_w(wide_path->c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FolderCanBeMade(const std::string& folder) {
  const auto wide_path = win32::Utf8ToWide(folder);
  if (!wide_path || wide_path->empty()) return false;
  std::filesystem::path current = std::filesystem::path(*wide_path).lexically_normal();
  if (!current.has_filename()) current = current.parent_path();
  std::error_code error;
  if (std::filesystem::exists(current, error)) return false;
  while (current.has_parent_path() && current.parent_path() != current) {
    current = current.parent_path();
    if (std::filesystem::exists(current, error))
      return std::filesystem::is_directory(current, error);
  }
  return false;
}

SaveResult CreateFolders(const std::string& folder, const std::optional<FileOwner>&) {
  const auto wide_path = win32::Utf8ToWide(folder);
  if (!wide_path || wide_path->empty()) return {false, ERROR_INVALID_NAME};
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(*wide_path), error);
  if (error) return {false, error.value()};
  return {true, 0};
}

void HandOverCreatedFile(const std::string&, const FileOwner&) {}

}  // namespace officecarve
