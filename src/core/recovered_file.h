#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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

// One contiguous stretch of a carved file on the source: `length` bytes of
// the file from `file_offset` on lie at byte `img_offset` of the source.
struct ByteRun {
  uint64_t file_offset = 0;
  int64_t img_offset = 0;
  uint64_t length = 0;

  bool operator==(const ByteRun&) const = default;
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
  // Where its bytes came from, in file order; units other files claimed
  // between them make a reassembled document several runs.
  std::vector<ByteRun> byte_runs;
};

}  // namespace officecarve
