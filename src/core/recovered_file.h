#pragma once

#include <cstdint>
#include <string>
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

// A file the engine wrote into the output folder.
struct RecoveredFile {
  std::string path;
  std::string name;
  uint64_t size = 0;
  int64_t start_sector = 0;
  std::string family;  // "doc", "xls", "ppt"
  bool saved = false;  // false when the save failed and the user went on
  // Checked once the file is on disk; unchecked when it was not written.
  Verdict verdict;
};

}  // namespace officecarve
