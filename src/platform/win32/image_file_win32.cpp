#include <windows.h>

#include <limits>

#include "platform/image_file.h"
#include "platform/win32/handle_io.h"
#include "platform/win32/text_conversion.h"
#include "platform/win32/win32_calls.h"

namespace officecarve {
namespace win32 {
namespace {

class Win32ImageFileWriter final : public ImageFileWriter {
 public:
  explicit Win32ImageFileWriter(HANDLE file) : file_(file) {}
  ~Win32ImageFileWriter() override {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandleChecked(file_);
  }
  Win32ImageFileWriter(const Win32ImageFileWriter&) = delete;
  Win32ImageFileWriter& operator=(const Win32ImageFileWriter&) = delete;

  // Moving the end of the file allocates its clusters, so a destination
  // without room for the whole image fails here, before anything is copied.
  bool Preallocate(uint64_t bytes, int* error) override {
    if (file_ == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE, error);
    if (bytes == 0) return true;
    if (bytes > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      return Fail(ERROR_FILE_TOO_LARGE, error);
    }
    DWORD failure = NO_ERROR;
    if (SeekHandle(file_, static_cast<int64_t>(bytes), FILE_BEGIN, &failure) < 0) {
      return Fail(failure, error);
    }
    const Win32Calls& calls = Calls();
    if (!calls.set_end_of_file(file_)) {
      const DWORD last_error = calls.get_last_error();
      return Fail(last_error != NO_ERROR ? last_error : ERROR_DISK_FULL, error);
    }
    if (SeekHandle(file_, 0, FILE_BEGIN, &failure) < 0) return Fail(failure, error);
    return true;
  }

  bool Write(std::span<const uint8_t> bytes, int* error) override {
    if (file_ == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE, error);
    const DWORD result = WriteAllToHandle(file_, bytes);
    return result == NO_ERROR ? true : Fail(result, error);
  }

  bool Close(int* error) override {
    if (file_ == INVALID_HANDLE_VALUE) return true;
    const DWORD result = CloseHandleChecked(file_);
    file_ = INVALID_HANDLE_VALUE;
    return result == NO_ERROR ? true : Fail(result, error);
  }

 private:
  static bool Fail(DWORD code, int* error) {
    if (error != nullptr) *error = static_cast<int>(code);
    return false;
  }

  HANDLE file_;
};

}  // namespace
}  // namespace win32

std::unique_ptr<ImageFileWriter> ImageFileWriter::Create(const std::string& path, int* error,
                                                         const std::optional<FileOwner>&) {
  const auto fail = [error](DWORD code) -> std::unique_ptr<ImageFileWriter> {
    if (error != nullptr) *error = static_cast<int>(code);
    return nullptr;
  };
  const win32::Win32Calls& calls = win32::Calls();
  const auto wide_path = win32::Utf8ToWide(path);
  if (!wide_path || wide_path->empty()) return fail(ERROR_INVALID_NAME);
  const DWORD attributes = calls.get_file_attributes_w(wide_path->c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return fail(ERROR_ACCESS_DENIED);
  }
  const HANDLE file = calls.create_file_w(wide_path->c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD last_error = calls.get_last_error();
    return fail(last_error != NO_ERROR ? last_error : ERROR_OPEN_FAILED);
  }
  return std::make_unique<win32::Win32ImageFileWriter>(file);
}

bool RemoveFile(const std::string& path) {
  const auto wide_path = win32::Utf8ToWide(path);
  return wide_path && !wide_path->empty() && win32::Calls().delete_file_w(wide_path->c_str());
}

}  // namespace officecarve
