#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <system_error>

#include "platform/raw_handle.h"

namespace officecarve {
namespace posix {
namespace {

// One read() asks for at most this much; Linux caps a single call near 2 GiB anyway.
constexpr size_t kMaxReadChunk = size_t{1} << 30;

class PosixRawHandle final : public RawHandle {
 public:
  PosixRawHandle(int fd, bool is_block_device) : fd_(fd), is_block_device_(is_block_device) {}
  ~PosixRawHandle() override { close(fd_); }
  PosixRawHandle(const PosixRawHandle&) = delete;
  PosixRawHandle& operator=(const PosixRawHandle&) = delete;

  // A move to a known place only notes it: reads say where they read, so a
  // walk down a disk, which moves before every read, costs no extra call.
  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    if (origin == SeekOrigin::kBegin) {
      if (offset < 0) {
        last_error_ = EINVAL;
        return -1;
      }
      position_ = offset;
      return position_;
    }
    const off_t position = lseek(fd_, static_cast<off_t>(offset), SEEK_END);
    if (position < 0) {
      last_error_ = errno;
      return -1;
    }
    position_ = static_cast<int64_t>(position);
    return position_;
  }

  int64_t Read(std::span<uint8_t> dest) override {
    size_t delivered = 0;
    while (delivered < dest.size()) {
      const size_t wanted = std::min(dest.size() - delivered, kMaxReadChunk);
      const ssize_t got = pread(fd_, dest.data() + delivered, wanted,
                                static_cast<off_t>(position_ + static_cast<int64_t>(delivered)));
      if (got < 0) {
        if (errno == EINTR) continue;
        // Bytes before a failure are not reported: the caller treats the whole
        // request as failed and retries smaller pieces if it wants them.
        last_error_ = errno;
        return -1;
      }
      if (got == 0) break;
      delivered += static_cast<size_t>(got);
    }
    position_ += static_cast<int64_t>(delivered);
    return static_cast<int64_t>(delivered);
  }

  std::optional<int64_t> DeviceLength() override {
    if (!is_block_device_) return std::nullopt;
    uint64_t length = 0;
    if (ioctl(fd_, BLKGETSIZE64, &length) != 0) {
      last_error_ = errno;
      return std::nullopt;
    }
    if (length > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      last_error_ = EOVERFLOW;
      return std::nullopt;
    }
    return static_cast<int64_t>(length);
  }

  std::optional<uint32_t> LogicalSectorSize() override {
    if (!is_block_device_) return std::nullopt;
    int sector_size = 0;
    if (ioctl(fd_, BLKSSZGET, &sector_size) != 0) {
      last_error_ = errno;
      return std::nullopt;
    }
    if (sector_size <= 0) return std::nullopt;
    return static_cast<uint32_t>(sector_size);
  }

  bool IsBlockDevice() const override { return is_block_device_; }
  int LastError() const override { return last_error_; }

 private:
  int fd_;
  bool is_block_device_;
  int64_t position_ = 0;
  int last_error_ = 0;
};

}  // namespace
}  // namespace posix

RawOpenResult OpenRawReadOnly(const std::string& path) {
  RawOpenResult result;
  // O_NONBLOCK keeps a FIFO given by mistake from hanging the open; it is
  // cleared again below and means nothing for files and block devices.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    result.error = errno;
    return result;
  }
  struct stat info {};
  int refusal = 0;
  if (fstat(fd, &info) != 0) {
    refusal = errno;
  } else if (S_ISDIR(info.st_mode)) {
    refusal = EISDIR;
  } else if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) {
    refusal = EINVAL;  // pipes, sockets, terminals hold no sectors
  } else {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) refusal = errno;
  }
  if (refusal != 0) {
    close(fd);
    result.error = refusal;
    return result;
  }
  // Scans and backups read front to back: let the kernel read ahead further.
  // Only a hint; its failure changes nothing.
  (void)posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  result.handle = std::make_unique<posix::PosixRawHandle>(fd, S_ISBLK(info.st_mode));
  return result;
}

std::string OsErrorText(int error) { return std::system_category().message(error); }

bool IsMissingRightsError(int error) { return error == EACCES || error == EPERM; }

}  // namespace officecarve
