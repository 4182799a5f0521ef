#include "scan/claimed_file_log.h"

#include <algorithm>
#include <utility>

namespace officecarve {

void ClaimedFileLog::Add(FileKind kind, int64_t start_sector, std::vector<ByteRun> runs,
                         bool complete) {
  if (!complete || files_.size() >= kMaxFiles || runs.size() > RunsLeft()) {
    ++not_listed_;
    return;
  }
  runs_ += runs.size();
  files_.push_back({kind, start_sector, std::move(runs)});
}

void ClaimedFileLog::DropStartingAt(const std::vector<int64_t>& sectors) {
  std::erase_if(files_, [&](const ClaimedFile& file) {
    const bool drop = std::binary_search(sectors.begin(), sectors.end(), file.start_sector);
    if (drop) runs_ -= file.byte_runs.size();
    return drop;
  });
}

}  // namespace officecarve
