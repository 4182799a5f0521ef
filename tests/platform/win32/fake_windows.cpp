#include "platform/win32/fake_windows.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>

namespace officecarve::testing {

FakeWindows* FakeWindows::instance_ = nullptr;

FakeWindows::FakeWindows() { instance_ = this; }

FakeWindows::~FakeWindows() { instance_ = nullptr; }

win32::Win32Calls FakeWindows::Table() {
  win32::Win32Calls calls;
  calls.get_last_error = []() -> DWORD { return instance_->last_error; };
  calls.set_last_error = [](DWORD error) { instance_->last_error = error; };
  calls.get_oem_cp = []() -> UINT { return instance_->oem_code_page; };

  calls.create_file_a = [](LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                           DWORD disposition, DWORD flags, HANDLE template_file) -> HANDLE {
    FakeWindows& self = *instance_;
    self.opens.push_back(
        {path, access, share, security != nullptr, disposition, flags, template_file != nullptr});
    const std::string text = path;
    const bool volume_path = text.size() == 6 && text.rfind("\\\\.\\", 0) == 0 && text[5] == ':';
    if (!volume_path || self.drives.count(text[4]) == 0) {
      self.last_error = volume_path ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
      return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(self.next_handle_++);
    self.handles_[handle] = {text[4], 0};
    return handle;
  };
  calls.close_handle = [](HANDLE handle) -> BOOL {
    FakeWindows& self = *instance_;
    ++self.closes;
    if (self.handles_.erase(handle) == 0) {
      self.last_error = ERROR_INVALID_HANDLE;
      return FALSE;
    }
    return TRUE;
  };
  calls.set_file_pointer = [](HANDLE handle, LONG low, PLONG high, DWORD method) -> DWORD {
    FakeWindows& self = *instance_;
    self.seeks.push_back({low, high != nullptr ? *high : 0, method});
    OpenHandle& open = self.handles_.at(handle);
    const uint64_t bits = (uint64_t{static_cast<uint32_t>(high != nullptr ? *high : 0)} << 32) |
                          static_cast<uint32_t>(low);
    int64_t target = static_cast<int64_t>(bits);
    if (method == FILE_END) target += self.drives.at(open.letter).length;
    if (target < 0) {
      self.last_error = ERROR_NEGATIVE_SEEK;
      return INVALID_SET_FILE_POINTER;
    }
    open.position = target;
    if (high != nullptr) *high = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
    return static_cast<DWORD>(static_cast<uint64_t>(target));
  };
  calls.read_file = [](HANDLE handle, LPVOID buffer, DWORD wanted, LPDWORD got,
                       LPOVERLAPPED) -> BOOL {
    FakeWindows& self = *instance_;
    OpenHandle& open = self.handles_.at(handle);
    const Drive& drive = self.drives.at(open.letter);
    const int64_t available = std::max<int64_t>(drive.length - open.position, 0);
    const DWORD count = static_cast<DWORD>(std::min<int64_t>(wanted, available));
    auto* out = static_cast<uint8_t*>(buffer);
    for (DWORD i = 0; i < count; ++i) {
      const uint64_t at = static_cast<uint64_t>(open.position) + i;
      out[i] = at < drive.bytes.size() ? drive.bytes[at] : 0;
    }
    open.position += count;
    *got = count;
    return TRUE;
  };
  calls.device_io_control = [](HANDLE handle, DWORD code, LPVOID, DWORD input_size, LPVOID output,
                               DWORD output_size, LPDWORD returned, LPOVERLAPPED) -> BOOL {
    FakeWindows& self = *instance_;
    self.ioctls.push_back({code, input_size, output_size});
    const Drive& drive = self.drives.at(self.handles_.at(handle).letter);
    if (code != IOCTL_DISK_GET_LENGTH_INFO || drive.length_query_fails ||
        output_size < sizeof(int64_t)) {
      self.last_error = ERROR_INVALID_FUNCTION;
      return FALSE;
    }
    std::memcpy(output, &drive.length, sizeof(int64_t));
    *returned = sizeof(int64_t);
    return TRUE;
  };
  calls.get_disk_free_space_a = [](LPCSTR root, LPDWORD sectors_per_cluster,
                                   LPDWORD bytes_per_sector, LPDWORD free_clusters,
                                   LPDWORD total_clusters) -> BOOL {
    FakeWindows& self = *instance_;
    self.free_space_roots.push_back(root);
    const auto drive = self.drives.find(root[0]);
    if (drive == self.drives.end() || !drive->second.bytes_per_sector) {
      self.last_error = ERROR_NOT_READY;
      return FALSE;
    }
    *sectors_per_cluster = 8;
    *bytes_per_sector = *drive->second.bytes_per_sector;
    *free_clusters = 0;
    *total_clusters = 0;
    return TRUE;
  };
  calls.get_disk_free_space_ex_a = [](LPCSTR root, PULARGE_INTEGER, PULARGE_INTEGER total,
                                      PULARGE_INTEGER) -> BOOL {
    const auto drive = instance_->drives.find(root[0]);
    if (drive == instance_->drives.end()) return FALSE;
    total->QuadPart = static_cast<ULONGLONG>(drive->second.length);
    return TRUE;
  };
  calls.get_logical_drives = []() -> DWORD {
    DWORD mask = 0;
    for (const auto& [letter, drive] : instance_->drives) mask |= DWORD{1} << (letter - 'A');
    return mask;
  };
  calls.get_drive_type_a = [](LPCSTR root) -> UINT {
    const auto drive = instance_->drives.find(root[0]);
    return drive == instance_->drives.end() ? DRIVE_NO_ROOT_DIR : drive->second.drive_type;
  };
  calls.get_volume_information_a = [](LPCSTR root, LPSTR label, DWORD label_size, LPDWORD, LPDWORD,
                                      LPDWORD, LPSTR, DWORD) -> BOOL {
    const auto drive = instance_->drives.find(root[0]);
    if (drive == instance_->drives.end() || drive->second.label.size() + 1 > label_size) {
      return FALSE;
    }
    std::memcpy(label, drive->second.label.c_str(), drive->second.label.size() + 1);
    return TRUE;
  };
  return calls;
}

}  // namespace officecarve::testing
