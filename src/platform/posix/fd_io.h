#pragma once

#include <cstdint>
#include <span>

namespace officecarve::posix {

// Writes all of bytes to fd, continuing after short writes and EINTR.
// 0 on success, else the errno of the failing write.
int WriteAll(int fd, std::span<const uint8_t> bytes);

// Closes fd; 0, or the errno the close reported (a delayed write error).
int CloseChecked(int fd);

}  // namespace officecarve::posix
