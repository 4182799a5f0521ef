#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "platform/file_save.h"
#include "platform/posix/fd_io.h"

namespace officecarve {

namespace {

// How deep a missing folder may be below the nearest one that exists.
constexpr size_t kMaxFoldersMade = 64;

// The folders from path upwards that do not exist yet, innermost first, and
// whether the first one that does exist is a directory.
struct MissingFolders {
  std::vector<std::filesystem::path> missing;
  bool base_is_directory = false;
  int error = 0;  // why a folder could not be examined
};

MissingFolders FindMissingFolders(const std::string& folder) {
  MissingFolders found;
  std::filesystem::path current = std::filesystem::path(folder).lexically_normal();
  if (!current.has_filename()) current = current.parent_path();  // a trailing separator
  while (found.missing.size() <= kMaxFoldersMade) {
    struct stat info {};
    if (stat(current.c_str(), &info) == 0) {
      found.base_is_directory = S_ISDIR(info.st_mode);
      return found;
    }
    if (errno != ENOENT) {
      found.error = errno;
      return found;
    }
    found.missing.push_back(current);
    const std::filesystem::path parent = current.parent_path();
    // A relative path runs out of parents at the working folder.
    if (parent.empty()) {
      found.base_is_directory = IsExistingDirectory(".");
      return found;
    }
    if (parent == current) return found;
    current = parent;
  }
  return found;
}

}  // namespace

SaveResult SaveFileReplacing(const std::string& path, std::span<const uint8_t> bytes,
                             const std::optional<FileOwner>& owner) {
  bool replacing = false;
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
    replacing = true;
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
  // Through the descriptor, so that the file handed over is the one written.
  // A refusal is ignored: file systems without owners (FAT) refuse it.
  if (owner && !replacing && fchown(fd, owner->uid, owner->gid) != 0) errno = 0;
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

bool FolderCanBeMade(const std::string& folder) {
  if (folder.empty()) return false;
  const MissingFolders found = FindMissingFolders(folder);
  return !found.missing.empty() && found.missing.size() <= kMaxFoldersMade &&
         found.base_is_directory;
}

SaveResult CreateFolders(const std::string& folder, const std::optional<FileOwner>& owner) {
  if (folder.empty()) return {false, ENOENT};
  const MissingFolders found = FindMissingFolders(folder);
  if (found.missing.empty()) {
    if (IsExistingDirectory(folder)) return {true, 0};
    return {false, found.error != 0 ? found.error : ENOTDIR};
  }
  if (found.missing.size() > kMaxFoldersMade) return {false, ENAMETOOLONG};
  if (!found.base_is_directory) return {false, found.error != 0 ? found.error : ENOTDIR};
  for (auto it = found.missing.rbegin(); it != found.missing.rend(); ++it) {
    if (mkdir(it->c_str(), 0755) != 0) {
      // Made by someone else in the meantime: theirs, not ours to hand over.
      if (errno == EEXIST && IsExistingDirectory(it->string())) continue;
      return {false, errno};
    }
    if (owner) HandOverCreatedFile(it->string(), *owner);
  }
  return {true, 0};
}

void HandOverCreatedFile(const std::string& path, const FileOwner& owner) {
  if (lchown(path.c_str(), owner.uid, owner.gid) != 0) errno = 0;
}

}  // namespace officecarve
