#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <vector>

#include "platform/image_file.h"
#include "platform/posix/fd_io.h"

namespace officecarve {
namespace posix {
namespace {

constexpr size_t kZeroChunkBytes = size_t{1} << 20;

// Reserves [from, to) by writing zeros, for file systems without fallocate.
// pwrite leaves the write position where it was.
int FillWithZeros(int fd, uint64_t from, uint64_t to) {
  const std::vector<uint8_t> zeros(kZeroChunkBytes, 0);
  while (from < to) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(to - from, zeros.size()));
    const ssize_t done = pwrite(fd, zeros.data(), wanted, static_cast<off_t>(from));
    if (done < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (done == 0) return EIO;
    from += static_cast<uint64_t>(done);
  }
  return 0;
}

class PosixImageFileWriter final : public ImageFileWriter {
 public:
  explicit PosixImageFileWriter(int fd) : fd_(fd) {}
  ~PosixImageFileWriter() override {
    if (fd_ >= 0) CloseChecked(fd_);
  }
  PosixImageFileWriter(const PosixImageFileWriter&) = delete;
  PosixImageFileWriter& operator=(const PosixImageFileWriter&) = delete;

  bool Preallocate(uint64_t bytes, int* error) override {
    if (fd_ < 0) return Fail(EBADF, error);
    if (bytes == 0) return true;
    if (bytes > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return Fail(EFBIG, error);
    int result = 0;
    do {
      result = posix_fallocate(fd_, 0, static_cast<off_t>(bytes));
    } while (result == EINTR);
    if (result == EOPNOTSUPP) {
      struct stat info {};
      if (fstat(fd_, &info) != 0) return Fail(errno, error);
      const uint64_t current = static_cast<uint64_t>(std::max<off_t>(info.st_size, 0));
      result = FillWithZeros(fd_, current, bytes);
    }
    return result == 0 ? true : Fail(result, error);
  }

  bool Write(std::span<const uint8_t> bytes, int* error) override {
    if (fd_ < 0) return Fail(EBADF, error);
    const int result = WriteAll(fd_, bytes);
    return result == 0 ? true : Fail(result, error);
  }

  bool Close(int* error) override {
    if (fd_ < 0) return true;
    const int result = CloseChecked(fd_);
    fd_ = -1;
    return result == 0 ? true : Fail(result, error);
  }

 private:
  static bool Fail(int code, int* error) {
    if (error != nullptr) *error = code;
    return false;
  }

  int fd_;
};

}  // namespace
}  // namespace posix

std::unique_ptr<ImageFileWriter> ImageFileWriter::Create(const std::string& path, int* error,
                                                         const std::optional<FileOwner>& owner) {
  const auto fail = [error](int code) -> std::unique_ptr<ImageFileWriter> {
    if (error != nullptr) *error = code;
    return nullptr;
  };
  // Writing "an image" onto a device node or through a pipe is never what a
  // backup means; only a new or existing regular file is accepted.
  struct stat existing {};
  const bool existed = stat(path.c_str(), &existing) == 0;
  if (existed) {
    if (S_ISDIR(existing.st_mode)) return fail(EISDIR);
    if (!S_ISREG(existing.st_mode)) return fail(EINVAL);
  }
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd < 0) return fail(errno);
  struct stat opened {};
  if (fstat(fd, &opened) != 0) {
    const int code = errno;
    posix::CloseChecked(fd);
    return fail(code);
  }
  if (!S_ISREG(opened.st_mode)) {  // replaced by something else since the check above
    posix::CloseChecked(fd);
    return fail(EINVAL);
  }
  // A refusal is ignored: file systems without owners (FAT) refuse it.
  if (owner && !existed && fchown(fd, owner->uid, owner->gid) != 0) errno = 0;
  return std::make_unique<posix::PosixImageFileWriter>(fd);
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

}  // namespace officecarve
