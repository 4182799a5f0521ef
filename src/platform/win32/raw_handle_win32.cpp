#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <array>

#include "platform/raw_handle.h"
#include "platform/win32/handle_io.h"
#include "platform/win32/text_conversion.h"
#include "platform/win32/volume_path.h"
#include "platform/win32/win32_calls.h"

namespace officecarve {
namespace win32 {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr size_t kMaxReadChunk = size_t{1} << 30;

DWORD ErrorOrDefault(DWORD error, DWORD fallback) { return error != NO_ERROR ? error : fallback; }

// A volume ("\\.\X:", drive_letter set) or an image file.
class Win32RawHandle final : public RawHandle {
 public:
  Win32RawHandle(HANDLE handle, char drive_letter) : handle_(handle), drive_letter_(drive_letter) {}
  ~Win32RawHandle() override { Calls().close_handle(handle_); }
  Win32RawHandle(const Win32RawHandle&) = delete;
  Win32RawHandle& operator=(const Win32RawHandle&) = delete;

  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    DWORD error = NO_ERROR;
    const int64_t position =
        SeekHandle(handle_, offset, origin == SeekOrigin::kEnd ? FILE_END : FILE_BEGIN, &error);
    if (position < 0) last_error_ = static_cast<int>(error);
    return position;
  }

  int64_t Read(std::span<uint8_t> dest) override {
    const Win32Calls& calls = Calls();
    size_t delivered = 0;
    while (delivered < dest.size()) {
      const DWORD wanted = static_cast<DWORD>(std::min(dest.size() - delivered, kMaxReadChunk));
      DWORD got = 0;
      if (!calls.read_file(handle_, dest.data() + delivered, wanted, &got, nullptr)) {
        // Bytes before a failure are not reported, as on every platform: the
        // caller retries smaller pieces if it wants them.
        last_error_ = static_cast<int>(ErrorOrDefault(calls.get_last_error(), ERROR_READ_FAULT));
        return -1;
      }
      if (got == 0) break;
      delivered += std::min<size_t>(got, wanted);
    }
    return static_cast<int64_t>(delivered);
  }

  std::optional<int64_t> DeviceLength() override {
    if (drive_letter_ == 0) return std::nullopt;
    const Win32Calls& calls = Calls();
    GET_LENGTH_INFORMATION length{};
    DWORD returned = 0;
    if (!calls.device_io_control(handle_, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length,
                                 sizeof(length), &returned, nullptr)) {
      last_error_ =
          static_cast<int>(ErrorOrDefault(calls.get_last_error(), ERROR_INVALID_FUNCTION));
      return std::nullopt;
    }
    if (returned < sizeof(length) || length.Length.QuadPart < 0) {
      last_error_ = ERROR_INVALID_DATA;
      return std::nullopt;
    }
    return static_cast<int64_t>(length.Length.QuadPart);
  }

  std::optional<uint32_t> LogicalSectorSize() override {
    if (drive_letter_ == 0) return std::nullopt;
    const Win32Calls& calls = Calls();
    // The root as the letter and a colon, without a backslash.
    const std::array<char, 3> root = {drive_letter_, ':', '\0'};
    DWORD sectors_per_cluster = 0;
    DWORD bytes_per_sector = 0;
    DWORD free_clusters = 0;
    DWORD total_clusters = 0;
    if (!calls.get_disk_free_space_a(root.data(), &sectors_per_cluster, &bytes_per_sector,
                                     &free_clusters, &total_clusters)) {
      last_error_ = static_cast<int>(calls.get_last_error());
      return std::nullopt;
    }
    if (bytes_per_sector == 0) return std::nullopt;
    return static_cast<uint32_t>(bytes_per_sector);
  }

  bool IsBlockDevice() const override { return drive_letter_ != 0; }
  int LastError() const override { return last_error_; }

 private:
  HANDLE handle_;
  char drive_letter_;
  int last_error_ = 0;
};

}  // namespace
}  // namespace win32

RawOpenResult OpenRawReadOnly(const std::string& path) {
  RawOpenResult result;
  const auto ansi_path = win32::Utf8ToAnsi(path);
  if (!ansi_path || ansi_path->empty()) {
    result.error = ERROR_INVALID_NAME;
    return result;
  }
  const win32::Win32Calls& calls = win32::Calls();
  // Read access only, and full sharing: a mounted volume stays in use by the
  // system while it is read.
  const HANDLE handle = calls.create_file_a(ansi_path->c_str(), GENERIC_READ, win32::kShareAll,
                                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    result.error =
        static_cast<int>(win32::ErrorOrDefault(calls.get_last_error(), ERROR_OPEN_FAILED));
    return result;
  }
  result.handle =
      std::make_unique<win32::Win32RawHandle>(handle, win32::VolumeLetterOfDevicePath(path));
  return result;
}

std::string OsErrorText(int error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (length > 0 && buffer != nullptr) text.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  if (text.empty()) return "Windows error " + std::to_string(static_cast<unsigned>(error));
  return win32::WideToUtf8(text);
}

bool IsMissingRightsError(int) { return false; }

}  // namespace officecarve
