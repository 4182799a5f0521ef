#pragma once

#include <cstdint>
#include <string>

namespace officecarve {

// `letters` capital letters encoding `number` in base 26 (A = 0), most
// significant first; only the lowest `letters` digits appear.
std::string StartSectorCode(int letters, uint64_t number);

// The file name of a recovered document starting at byte `offset`: "FILE_" +
// eight letters of the offset in 512-byte units + extension.
std::string RecoveredFileName(int64_t offset, const std::string& extension);

}  // namespace officecarve
