#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_calls.h"

namespace officecarve::testing {

// A stand-in for the volume and drive calls of Windows: drives that a test
// machine does not have, with their length, sector size and bytes, and a record
// of how the platform layer called them. One at a time; it puts its call table
// in force while it lives.
class FakeWindows {
 public:
  struct Drive {
    std::vector<uint8_t> bytes;  // reads past the end deliver zeros up to length
    int64_t length = 0;          // what the length query reports
    bool length_query_fails = false;
    std::optional<DWORD> bytes_per_sector;  // nullopt: GetDiskFreeSpaceA fails
    UINT drive_type = DRIVE_FIXED;
    std::string label;
  };
  struct OpenCall {
    std::string path;
    DWORD access = 0;
    DWORD share = 0;
    bool security_attributes = false;
    DWORD disposition = 0;
    DWORD flags = 0;
    bool template_file = false;
  };
  struct SeekCall {
    LONG low = 0;
    LONG high = 0;
    DWORD method = 0;
  };
  struct IoctlCall {
    DWORD code = 0;
    DWORD input_size = 0;
    DWORD output_size = 0;
  };

  FakeWindows();
  ~FakeWindows();
  FakeWindows(const FakeWindows&) = delete;
  FakeWindows& operator=(const FakeWindows&) = delete;

  std::map<char, Drive> drives;  // by upper-case letter
  UINT oem_code_page = 437;
  // Left in place by calls that succeed, as Windows does.
  DWORD last_error = NO_ERROR;

  std::vector<OpenCall> opens;
  std::vector<SeekCall> seeks;
  std::vector<IoctlCall> ioctls;
  std::vector<std::string> free_space_roots;
  int closes = 0;

 private:
  struct OpenHandle {
    char letter = 0;
    int64_t position = 0;
  };
  static FakeWindows* instance_;
  static win32::Win32Calls Table();

  std::map<HANDLE, OpenHandle> handles_;
  uintptr_t next_handle_ = 0x100;
  win32::Win32Calls table_ = Table();
  win32::ScopedWin32Calls scope_{table_};
};

}  // namespace officecarve::testing
