#pragma once

#include <windows.h>

namespace officecarve::win32 {

// Every system call of the Windows platform layer that reads or changes the
// machine goes through this table, so that tests can stand in for volumes,
// drives and code pages that a test machine does not have.
struct Win32Calls {
  decltype(&::CreateFileA) create_file_a = &::CreateFileA;
  decltype(&::CreateFileW) create_file_w = &::CreateFileW;
  decltype(&::ReadFile) read_file = &::ReadFile;
  decltype(&::WriteFile) write_file = &::WriteFile;
  decltype(&::SetFilePointer) set_file_pointer = &::SetFilePointer;
  decltype(&::SetEndOfFile) set_end_of_file = &::SetEndOfFile;
  decltype(&::CloseHandle) close_handle = &::CloseHandle;
  decltype(&::DeviceIoControl) device_io_control = &::DeviceIoControl;
  decltype(&::GetDiskFreeSpaceA) get_disk_free_space_a = &::GetDiskFreeSpaceA;
  decltype(&::GetDiskFreeSpaceExA) get_disk_free_space_ex_a = &::GetDiskFreeSpaceExA;
  decltype(&::GetVolumeInformationA) get_volume_information_a = &::GetVolumeInformationA;
  decltype(&::GetLogicalDrives) get_logical_drives = &::GetLogicalDrives;
  decltype(&::GetDriveTypeA) get_drive_type_a = &::GetDriveTypeA;
  decltype(&::GetFileAttributesW) get_file_attributes_w = &::GetFileAttributesW;
  decltype(&::SetFileAttributesW) set_file_attributes_w = &::SetFileAttributesW;
  decltype(&::DeleteFileW) delete_file_w = &::DeleteFileW;
  decltype(&::GetLastError) get_last_error = &::GetLastError;
  decltype(&::SetLastError) set_last_error = &::SetLastError;
  decltype(&::GetOEMCP) get_oem_cp = &::GetOEMCP;
};

// The table in force: the real functions unless a ScopedWin32Calls replaced it.
const Win32Calls& Calls();

// Puts another table in force for its lifetime (tests only); nests.
class ScopedWin32Calls {
 public:
  explicit ScopedWin32Calls(const Win32Calls& calls);
  ~ScopedWin32Calls();
  ScopedWin32Calls(const ScopedWin32Calls&) = delete;
  ScopedWin32Calls& operator=(const ScopedWin32Calls&) = delete;

 private:
  const Win32Calls* previous_;
};

}  // namespace officecarve::win32
