#include "scan/carver_frame.h"

#include <algorithm>
#include <cstring>

namespace officecarve {
namespace {

// Adds one unit at the end of the file: it lengthens the last run when it
// follows that run's last unit on the source.
void AppendUnit(std::vector<ByteRun>& runs, int64_t unit, uint64_t unit_bytes) {
  const int64_t img_offset = unit * static_cast<int64_t>(unit_bytes);
  if (!runs.empty()) {
    ByteRun& last = runs.back();
    if (last.img_offset + static_cast<int64_t>(last.length) == img_offset) {
      last.length += unit_bytes;
      return;
    }
  }
  const uint64_t file_offset = runs.empty() ? 0 : runs.back().file_offset + runs.back().length;
  runs.push_back({file_offset, img_offset, unit_bytes});
}

}  // namespace

CarverCall::CarverCall(CarverEnv& env, int64_t offset) : env_(env), header_offset_(offset) {
  const int64_t unit_bytes = env_.bytes_per_sector;
  const int64_t header_unit = offset / unit_bytes;
  if (offset < 0 || env_.map.IsClaimed(header_unit)) {
    ended_ = true;
    return;
  }
  ClaimUnit(header_unit);
  buffer_.resize(static_cast<size_t>(unit_bytes));
  if (env_.source.ReadAt(buffer_.data(), static_cast<uint32_t>(unit_bytes), offset) != 0) {
    Fail();
    return;
  }
  read_position_ = offset + unit_bytes;
  held_ = static_cast<uint64_t>(unit_bytes);
  started_ = true;
}

CarverCall::~CarverCall() {
  if (!ended_) Fail();
}

void CarverCall::Grow() {
  // Doubling while small, so the many candidates that turn out to be a few
  // units long never pay for clearing a whole growth step.
  const uint64_t unit_bytes = env_.bytes_per_sector;
  const uint64_t doubled = std::max<uint64_t>(2 * buffer_.size(), 16 * unit_bytes);
  buffer_.resize(static_cast<size_t>(std::min(doubled, held_ + kGrowthBytes)));
}

void CarverCall::ClaimUnit(int64_t unit) {
  claims_.push_back(unit);
  env_.map.Claim(unit);
}

int64_t CarverCall::NextUnclaimedUnit() {
  const int64_t unit_bytes = env_.bytes_per_sector;
  const int64_t from = read_position_ / unit_bytes;
  const int64_t unit = env_.map.NextUnclaimed(from, env_.range_last);
  // The read position keeps its offset within a unit, as stepping one unit
  // at a time would.
  read_position_ += (std::max(unit, from) - from) * unit_bytes;
  return unit > env_.range_last ? -1 : unit;
}

bool CarverCall::ReadUntil(uint64_t bytes) {
  last_stop_ = Stop::kNone;
  if (!started_ || ended_) return false;
  const int64_t unit_bytes = env_.bytes_per_sector;
  while (held_ < bytes) {
    const int64_t unit = NextUnclaimedUnit();
    if (unit < 0) {
      last_stop_ = Stop::kRangeEnd;
      return false;
    }
    // Claimed before the read, so a failed read still leaves it on the list.
    ClaimUnit(unit);
    if (buffer_.size() < held_ + unit_bytes) Grow();
    if (env_.source.ReadAt(buffer_.data() + held_, static_cast<uint32_t>(unit_bytes),
                           read_position_) != 0) {
      last_stop_ = Stop::kShortRead;
      return false;
    }
    read_position_ += unit_bytes;
    held_ += unit_bytes;
    if (held_ % (kProgressEveryUnits * unit_bytes) == 0) ShowProgress();
  }
  return true;
}

bool CarverCall::SkipClaim() {
  last_stop_ = Stop::kNone;
  if (!started_ || ended_) return false;
  const int64_t unit = NextUnclaimedUnit();
  if (unit < 0) {
    last_stop_ = Stop::kRangeEnd;
    return false;
  }
  ClaimUnit(unit);
  read_position_ += env_.bytes_per_sector;
  return true;
}

void CarverCall::TrimTo(uint64_t file_end) {
  const uint64_t unit_bytes = env_.bytes_per_sector;
  // Rounded up without the addition, which would wrap for an end taken from
  // a hostile size field and release the whole file.
  const uint64_t units = file_end / unit_bytes + (file_end % unit_bytes != 0 ? 1 : 0);
  while (claims_.size() > units) {
    const int64_t unit = claims_.back();
    env_.map.Release(unit);
    claims_.pop_back();
    read_position_ = unit * static_cast<int64_t>(unit_bytes);
  }
}

void CarverCall::Compact(uint64_t& buffer_position) {
  const uint64_t unit_bytes = env_.bytes_per_sector;
  if (buffer_position <= 60 * unit_bytes || buffer_position > held_) return;
  const uint64_t drop = buffer_position / unit_bytes * unit_bytes;
  std::memmove(buffer_.data(), buffer_.data() + drop, static_cast<size_t>(held_ - drop));
  held_ -= drop;
  buffer_position -= drop;
  ShowProgress();
}

void CarverCall::ShrinkHeld(uint64_t bytes) {
  if (bytes < held_) held_ = bytes;
}

void CarverCall::DropHeld(uint64_t from, uint64_t to) {
  if (from >= to || to > held_) return;
  std::memmove(buffer_.data() + from, buffer_.data() + to, static_cast<size_t>(held_ - to));
  held_ -= to - from;
}

void CarverCall::ShowProgress() {
  const int64_t unit_bytes = env_.bytes_per_sector;
  progress_text_.assign(env_.texts.Text(TextId::kSectorPrefix));
  progress_text_ += std::to_string(header_offset_ / unit_bytes);
  progress_text_ += ", ";
  progress_text_ += std::to_string(read_position_ / unit_bytes);
  env_.frontend.SetProgressLabel(ProgressWindow::kRecovery, 3, progress_text_);
  env_.frontend.PumpMessages();
}

std::vector<ByteRun> CarverCall::ByteRuns(uint64_t file_length) const {
  std::vector<ByteRun> runs = kept_runs_;
  for (const int64_t unit : claims_) AppendUnit(runs, unit, env_.bytes_per_sector);
  while (!runs.empty() && runs.back().file_offset >= file_length) runs.pop_back();
  if (!runs.empty()) {
    ByteRun& last = runs.back();
    last.length = std::min(last.length, file_length - last.file_offset);
  }
  return runs;
}

void CarverCall::KeepClaims() {
  if (env_.claimed != nullptr && kept_runs_complete_) {
    for (const int64_t unit : claims_) AppendUnit(kept_runs_, unit, env_.bytes_per_sector);
    if (kept_runs_.size() > env_.claimed->RunsLeft()) {
      kept_runs_complete_ = false;
      std::vector<ByteRun>().swap(kept_runs_);
    }
  }
  claims_.clear();
}

void CarverCall::Complete() {
  if (ended_) return;
  ended_ = true;
  if (env_.claimed != nullptr) {
    env_.claimed->Add(env_.carving_kind, header_offset_ / env_.bytes_per_sector, ByteRuns(),
                      kept_runs_complete_);
  }
  claims_.clear();
  const int64_t unit_bytes = env_.bytes_per_sector;
  const int64_t per_cluster = env_.sectors_per_cluster;
  if (per_cluster > 1) {
    // The rest of the cluster the file ends in belongs to it too. The map
    // ignores units past its end, and the loop runs at most one cluster.
    while ((read_position_ / unit_bytes - env_.state.cluster_origin) % per_cluster > 0) {
      env_.map.Claim(read_position_ / unit_bytes);
      read_position_ += unit_bytes;
    }
  }
  std::vector<uint8_t>().swap(buffer_);
  held_ = 0;
}

void CarverCall::Fail() {
  if (ended_ && claims_.empty()) return;
  ended_ = true;
  started_ = false;
  for (const int64_t unit : claims_) env_.map.Release(unit);
  claims_.clear();
  std::vector<uint8_t>().swap(buffer_);
  held_ = 0;
}

}  // namespace officecarve
