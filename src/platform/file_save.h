#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/file_owner.h"

namespace officecarve {

struct SaveResult {
  bool ok = false;
  int error = 0;  // errno of the failing step when !ok
};

// Writes bytes as the whole content of path, replacing an existing file even
// when it is read-only. Fails on a directory or a path whose folder is missing.
// A file left incomplete by a failed write is removed rather than left looking
// like a recovered document. A file this call creates is given to owner when
// one is set; a file that existed keeps its owner.
SaveResult SaveFileReplacing(const std::string& path, std::span<const uint8_t> bytes,
                             const std::optional<FileOwner>& owner = std::nullopt);

bool IsExistingDirectory(const std::string& path);

// True when folder does not exist yet but could be made: the nearest folder
// above it that exists is a directory (not a file in the way).
bool FolderCanBeMade(const std::string& folder);

// Makes folder and the folders above it that are missing, giving each one it
// made to owner when one is set (folders that existed are left as they were).
SaveResult CreateFolders(const std::string& folder,
                         const std::optional<FileOwner>& owner = std::nullopt);

// Gives a file this program has just made to owner, without following a
// symbolic link. Best effort: file systems without owners (FAT) refuse it,
// and the file is then still the user's to read there.
void HandOverCreatedFile(const std::string& path, const FileOwner& owner);

}  // namespace officecarve
