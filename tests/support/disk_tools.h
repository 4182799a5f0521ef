#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/format_tools.h"

namespace officecarve::testing {

// Writes a partition table onto an image file with sfdisk, from a script
// such as "label: dos\nstart=2048, size=4096, type=c\n"; true on success.
inline bool RunSfdisk(const std::string& sfdisk, const std::string& image,
                      const std::string& script) {
  const std::string script_path = image + ".sfdisk";
  { std::ofstream(script_path, std::ios::binary | std::ios::trunc) << script; }
  const std::string command = "'" + sfdisk + "' --no-reread --no-tell-kernel -q '" + image +
                              "' < '" + script_path + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// Copies a whole file into another at a byte offset, as writing a
// partition's image onto a disk does.
inline bool CopyInto(const std::string& disk, uint64_t offset, const std::string& part) {
  std::ifstream in(part, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::fstream out(disk, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(static_cast<std::streamoff>(offset));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !bytes.empty() && !out.fail();
}

}  // namespace officecarve::testing
