#pragma once

#include <string>
#include <string_view>

namespace officecarve::win32 {

// The device path of the volume with this drive letter: "\\.\" + letter + ":".
std::string VolumeDevicePath(char letter);

// The upper-case drive letter of a volume device path ("\\.\d:" gives 'D'),
// or 0 for any other path.
char VolumeLetterOfDevicePath(std::string_view path);

// The upper-case drive letter an absolute path lies on ("d:\out" gives 'D',
// also behind the "\\?\" prefix), or 0 (a network path, a device path).
char DriveLetterOfAbsolutePath(std::wstring_view path);

// The drive letter a path lies on once made absolute against the current
// folder (a relative path lies on the current drive), or 0.
char DriveLetterOfPath(const std::string& path);

}  // namespace officecarve::win32
