#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/fd_io.h"

namespace officecarve::posix {
namespace {

constexpr size_t kMaxWriteChunk = size_t{1} << 30;

}  // namespace

int WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    const size_t wanted = std::min(bytes.size() - written, kMaxWriteChunk);
    const ssize_t done = write(fd, bytes.data() + written, wanted);
    if (done < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // A write that takes nothing without an error would loop for ever.
    if (done == 0) return EIO;
    written += static_cast<size_t>(done);
  }
  return 0;
}

int CloseChecked(int fd) {
  // Linux releases the descriptor even when close reports EINTR, so it is never retried.
  if (close(fd) != 0 && errno != EINTR) return errno;
  return 0;
}

}  // namespace officecarve::posix
