#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace officecarve {

struct SaveResult {
  bool ok = false;
  int error = 0;  // errno of the failing step when !ok
};

// Writes bytes as the whole content of path, replacing an existing file even
// when it is read-only. Fails on a directory or a path whose folder is missing.
// A file left incomplete by a failed write is removed rather than left looking
// like a recovered document.
SaveResult SaveFileReplacing(const std::string& path, std::span<const uint8_t> bytes);

bool IsExistingDirectory(const std::string& path);

}  // namespace officecarve
