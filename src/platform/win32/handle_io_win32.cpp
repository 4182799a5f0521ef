#include <algorithm>

#include "platform/win32/handle_io.h"
#include "platform/win32/win32_calls.h"

namespace officecarve::win32 {
namespace {

constexpr size_t kMaxWriteChunk = size_t{1} << 30;

DWORD ErrorOrDefault(DWORD error, DWORD fallback) { return error != NO_ERROR ? error : fallback; }

}  // namespace

int64_t SeekHandle(HANDLE handle, int64_t offset, DWORD method, DWORD* error) {
  const Win32Calls& calls = Calls();
  const uint64_t bits = static_cast<uint64_t>(offset);
  LONG high = static_cast<LONG>(static_cast<uint32_t>(bits >> 32));
  const LONG low = static_cast<LONG>(static_cast<uint32_t>(bits));
  // A success leaves the error alone; start from 0 so that a stale error of an
  // earlier call cannot turn the valid position 0xFFFFFFFF into a failure.
  calls.set_last_error(NO_ERROR);
  const DWORD new_low = calls.set_file_pointer(handle, low, &high, method);
  if (new_low == INVALID_SET_FILE_POINTER) {
    const DWORD last_error = calls.get_last_error();
    if (last_error != NO_ERROR) {
      if (error != nullptr) *error = last_error;
      return -1;
    }
  }
  const uint64_t position = (uint64_t{static_cast<uint32_t>(high)} << 32) | new_low;
  return static_cast<int64_t>(position);
}

DWORD WriteAllToHandle(HANDLE handle, std::span<const uint8_t> bytes) {
  const Win32Calls& calls = Calls();
  size_t written = 0;
  while (written < bytes.size()) {
    const DWORD wanted = static_cast<DWORD>(std::min(bytes.size() - written, kMaxWriteChunk));
    DWORD done = 0;
    if (!calls.write_file(handle, bytes.data() + written, wanted, &done, nullptr)) {
      return ErrorOrDefault(calls.get_last_error(), ERROR_WRITE_FAULT);
    }
    // A write that takes nothing without an error would loop for ever.
    if (done == 0 || done > wanted) return ERROR_WRITE_FAULT;
    written += done;
  }
  return NO_ERROR;
}

DWORD CloseHandleChecked(HANDLE handle) {
  const Win32Calls& calls = Calls();
  if (calls.close_handle(handle)) return NO_ERROR;
  return ErrorOrDefault(calls.get_last_error(), ERROR_INVALID_HANDLE);
}

}  // namespace officecarve::win32
