#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "core/recovered_file.h"

namespace officecarve {

// "intact", "damaged" or "unchecked".
std::string_view VerdictName(VerdictState state);

// Reads the file back and checks it as a compound file (D0 CF 11 E0) or a
// ZIP package (PK 03 04), chosen by its first bytes.
Verdict CheckRecoveredFile(const std::filesystem::path& path);

// The same checks on bytes in memory.
Verdict CheckDocumentBytes(std::span<const uint8_t> bytes);
Verdict CheckCompoundFile(std::span<const uint8_t> bytes);
Verdict CheckZipPackage(std::span<const uint8_t> bytes);

}  // namespace officecarve
