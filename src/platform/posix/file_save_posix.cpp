#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_save.h"
#include "platform/posix/fd_io.h"

namespace officecarve {

SaveResult SaveFileReplacing(const std::string& path, std::span<const uint8_t> bytes) {
  struct stat existing {};
  if (lstat(path.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode)) {
    // A link of that name is replaced, never followed: its target may lie
    // anywhere, even on the disk being recovered.
    if (unlink(path.c_str()) != 0) return {false, errno};
    errno = ENOENT;
  } else if (lstat(path.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return {false, EISDIR};
    // Devices and pipes are no place for a document (and a pipe would block the open).
    if (!S_ISREG(existing.st_mode)) return {false, EINVAL};
    // A read-only file left by an earlier run must not block the new copy.
    if ((existing.st_mode & S_IWUSR) == 0 &&
        chmod(path.c_str(), (existing.st_mode & 07777) | S_IWUSR) != 0) {
      return {false, errno};
    }
  } else if (errno != ENOENT) {
    return {false, errno};
  }

  // O_NOFOLLOW: a link put in its place since the check is refused too.
  const int fd =
      open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0644);
  if (fd < 0) return {false, errno};
  struct stat opened {};
  if (fstat(fd, &opened) != 0) {
    const int error = errno;
    posix::CloseChecked(fd);
    return {false, error};
  }
  if (!S_ISREG(opened.st_mode)) {  // replaced by something else since the check above
    posix::CloseChecked(fd);
    return {false, EINVAL};
  }
  int error = posix::WriteAll(fd, bytes);
  const int close_error = posix::CloseChecked(fd);
  if (error == 0) error = close_error;
  if (error != 0) {
    // A truncated document would pass for a recovered one; the caller reports
    // the failure and may retry.
    unlink(path.c_str());
    return {false, error};
  }
  return {true, 0};
}

bool IsExistingDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace officecarve
