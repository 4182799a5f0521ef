#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace officecarve {

// What a recovered document's own structure says about it once it is on disk.
// A compound file carries no checksums: its allocation tables, directory and
// every stream chain are checked, but damage inside a stream's content that
// leaves them whole cannot be seen. A ZIP package is checked down to the
// CRC-32 and size of every entry.
enum class VerdictState : uint8_t {
  kUnchecked,  // not written, or too large to check
  kIntact,
  kDamaged,
};

struct Verdict {
  VerdictState state = VerdictState::kUnchecked;
  // The first problem found, a short English sentence; empty when intact.
  std::string problem;

  static Verdict Intact() { return {VerdictState::kIntact, {}}; }
  static Verdict Damaged(std::string problem) {
    return {VerdictState::kDamaged, std::move(problem)};
  }
  static Verdict Unchecked(std::string reason) {
    return {VerdictState::kUnchecked, std::move(reason)};
  }
};

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
