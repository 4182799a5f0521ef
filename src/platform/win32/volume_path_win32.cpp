#include <filesystem>
#include <system_error>

#include "platform/win32/text_conversion.h"
#include "platform/win32/volume_path.h"

namespace officecarve::win32 {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";
constexpr std::wstring_view kLongPathPrefix = L"\\\\?\\";

template <typename Char>
char UpperLetter(Char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c);
  return 0;
}

}  // namespace

std::string VolumeDevicePath(char letter) {
  return std::string(kDevicePrefix) + static_cast<char>(UpperLetter(letter)) + ":";
}

char VolumeLetterOfDevicePath(std::string_view path) {
  if (path.size() != kDevicePrefix.size() + 2 || !path.starts_with(kDevicePrefix) ||
      path.back() != ':') {
    return 0;
  }
  return UpperLetter(path[kDevicePrefix.size()]);
}

char DriveLetterOfAbsolutePath(std::wstring_view path) {
  if (path.starts_with(kLongPathPrefix)) path.remove_prefix(kLongPathPrefix.size());
  if (path.size() < 2 || path[1] != L':') return 0;
  return UpperLetter(path[0]);
}

char DriveLetterOfPath(const std::string& path) {
  const auto wide = Utf8ToWide(path);
  if (!wide || wide->empty()) return 0;
  // Such a path is absolute already, and resolving it again may mangle it.
  if (wide->starts_with(kLongPathPrefix)) return DriveLetterOfAbsolutePath(*wide);
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(*wide, error);
  if (error) return 0;
  return DriveLetterOfAbsolutePath(absolute.native());
}

}  // namespace officecarve::win32
