#include "scan/start_sector_code.h"

namespace officecarve {

std::string StartSectorCode(int letters, uint64_t number) {
  std::string code(letters > 0 ? static_cast<size_t>(letters) : 0, 'A');
  for (auto it = code.rbegin(); it != code.rend(); ++it) {
    *it = static_cast<char>('A' + number % 26);
    number /= 26;
  }
  return code;
}

std::string RecoveredFileName(int64_t offset, const std::string& extension) {
  // Always 512-byte units, whatever the source's sector size, so a document
  // keeps its name across images of the same disk.
  return "FILE_" + StartSectorCode(8, static_cast<uint64_t>(offset) / 512) + extension;
}

}  // namespace officecarve
