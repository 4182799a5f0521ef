#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/recovered_file.h"
#include "scan/file_kind.h"

namespace officecarve {

// A file a carver completed: its kind, its header sector and the units it
// claimed, as byte runs on the source (the rest of its last cluster, claimed
// as slack, is not among them).
struct ClaimedFile {
  FileKind kind = FileKind::None;
  int64_t start_sector = 0;
  std::vector<ByteRun> byte_runs;
};

// The completed carves of one scan, for reports that account for every
// claimed sector. A disk of nothing but tiny files must not make it grow
// with the disk, so it keeps at most kMaxFiles files and kMaxRuns runs in
// all, and counts what it had to leave out.
class ClaimedFileLog {
 public:
  static constexpr size_t kMaxFiles = size_t{1} << 20;
  static constexpr size_t kMaxRuns = size_t{1} << 22;

  // `complete` false: the carve had more runs than a log may keep.
  void Add(FileKind kind, int64_t start_sector, std::vector<ByteRun> runs, bool complete);
  // Drops the files that start at one of `sectors` (sorted ascending): they
  // are reported as the documents they were written as.
  void DropStartingAt(const std::vector<int64_t>& sectors);

  const std::vector<ClaimedFile>& Files() const { return files_; }
  uint64_t NotListed() const { return not_listed_; }
  size_t RunsLeft() const { return kMaxRuns - runs_; }

 private:
  std::vector<ClaimedFile> files_;
  size_t runs_ = 0;
  uint64_t not_listed_ = 0;
};

}  // namespace officecarve
