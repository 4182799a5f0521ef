#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace officecarve::testing {

// The path of a file-system formatter (mkfs.vfat, mkntfs, mkfs.exfat), looked
// for in PATH and in the system folders that PATH of a plain user often
// lacks; empty when it is not installed.
inline std::string FindFormatter(const std::string& name) {
#ifdef _WIN32
  // The Linux formatters cannot run here, even where the Linux root is reachable.
  (void)name;
  return {};
#else
  std::vector<std::string> folders;
  if (const char* path = std::getenv("PATH")) {
    std::string list = path;
    for (size_t start = 0; start <= list.size();) {
      const size_t end = std::min(list.find(':', start), list.size());
      if (end > start) folders.push_back(list.substr(start, end - start));
      start = end + 1;
    }
  }
  for (const char* folder : {"/usr/sbin", "/sbin", "/usr/local/sbin"}) folders.push_back(folder);
  for (const std::string& folder : folders) {
    const std::filesystem::path candidate = std::filesystem::path(folder) / name;
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate.string();
  }
  return {};
#endif
}

// Runs a formatter on an image file, its output discarded; true when it
// exited with 0. Arguments must not need quoting beyond plain paths.
inline bool RunFormatter(const std::string& tool, const std::string& arguments) {
  const std::string command = "'" + tool + "' " + arguments + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// A file of `bytes` zero bytes (sparse), for formatters that need the file
// to exist with its final size.
inline bool MakeEmptyImage(const std::string& path, uint64_t bytes) {
  std::error_code error;
  { std::ofstream(path, std::ios::binary | std::ios::trunc); }
  std::filesystem::resize_file(path, bytes, error);
  return !error;
}

}  // namespace officecarve::testing
