#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

namespace officecarve::win32 {

// Moves a handle's position to a 64-bit offset with SetFilePointer, passing
// the high half through its pointer argument. The new position, or -1 when the
// call reports the invalid-position value together with a non-zero error: the
// same value with error 0 is the valid position 0xFFFFFFFF. *error receives the
// failure's code.
int64_t SeekHandle(HANDLE handle, int64_t offset, DWORD method, DWORD* error);

// Writes all of bytes at the handle's position. 0, or the failing call's error.
DWORD WriteAllToHandle(HANDLE handle, std::span<const uint8_t> bytes);

// Closes a handle; 0, or the error the close reported.
DWORD CloseHandleChecked(HANDLE handle);

}  // namespace officecarve::win32
