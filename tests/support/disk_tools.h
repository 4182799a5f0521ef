#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/format_tools.h"

namespace officecarve::testing {

inline void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint64_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void PutLe64(std::vector<uint8_t>& bytes, size_t at, uint64_t value) {
  PutLe32(bytes, at, value & 0xFFFFFFFF);
  PutLe32(bytes, at + 4, value >> 32);
}

struct MbrEntry {
  uint8_t status = 0;
  uint8_t type = 0;
  uint64_t first = 0;
  uint64_t count = 0;
};

// A partition table (an MBR, or an extended boot record) of up to four
// entries at a 512-byte sector of an image in memory, ending in 55 AA.
inline void PutMbrTable(std::vector<uint8_t>& disk, int64_t sector,
                        const std::vector<MbrEntry>& entries) {
  const size_t base = static_cast<size_t>(sector) * 512;
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t at = base + 0x1BE + 16 * i;
    disk[at] = entries[i].status;
    disk[at + 4] = entries[i].type;
    PutLe32(disk, at + 8, entries[i].first);
    PutLe32(disk, at + 12, entries[i].count);
  }
  disk[base + 510] = 0x55;
  disk[base + 511] = 0xAA;
}

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
