#include "carvers/office/zip_package_rebuild.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "carvers/archive/zip_records.h"
#include "carvers/office/zip_reassembly.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr std::string_view kEndSignature = "PK\x05\x06";
// The largest package rebuilt, and how far past the break its end record is
// looked for: the package and its gaps are held in memory together.
constexpr uint64_t kMaxPackageBytes = 256ull << 20;
// End records of other archives passed before giving up.
constexpr int kMaxEndRecords = 16;

// Whether the end record at stream `position` can close this package: the
// directory it describes ends before it by whole units, no further than the
// gaps allow.
bool CanClose(std::span<const uint8_t> fixed, uint64_t position,
              const ZipReassemblyLimits& limits) {
  const uint64_t entries = Le16At(fixed, 10);
  const uint64_t logical_end = uint64_t{Le32At(fixed, 12)} + Le32At(fixed, 16);
  if (entries == 0 || logical_end > position || logical_end > kMaxPackageBytes) return false;
  const uint64_t gaps = position - logical_end;
  return gaps % limits.unit == 0 && gaps <= limits.max_total_gap_bytes;
}

// Tries the end records from the header on, first among the held bytes
// (a walk may have read past its break), then among the units ahead, found
// without reading them into the call.
class EndRecordSearch {
 public:
  EndRecordSearch(CarverCall& call, const ZipReassemblyLimits& limits)
      : call_(call), limits_(limits) {}

  // The next end record that could close the package, or nothing.
  std::optional<uint64_t> Next() {
    while (seen_ < kMaxEndRecords) {
      const auto position = NextSignature();
      if (!position) return std::nullopt;
      ++seen_;
      std::array<uint8_t, kZipEndFixedBytes> fixed{};
      if (call_.PeekAt(*position, fixed) && CanClose(fixed, *position, limits_)) {
        comment_ = Le16At(fixed, 20);
        return position;
      }
    }
    return std::nullopt;
  }
  uint64_t Comment() const { return comment_; }
  // The call has read `units` more units since the last search.
  void Read(uint64_t units) { from_units_ = from_units_ > units ? from_units_ - units : 0; }

 private:
  std::optional<uint64_t> NextSignature() {
    const auto held = call_.Bytes();
    while (!held_done_ && held_next_ + kEndSignature.size() <= held.size()) {
      const auto it = std::search(held.begin() + static_cast<std::ptrdiff_t>(held_next_),
                                  held.end(), kEndSignature.begin(), kEndSignature.end());
      if (it == held.end()) break;
      const uint64_t at = static_cast<uint64_t>(it - held.begin());
      held_next_ = at + 1;
      return at;
    }
    held_done_ = true;
    while (pending_.empty()) {
      if (!SearchAhead()) return std::nullopt;
    }
    const uint64_t at = pending_.front();
    pending_.erase(pending_.begin());
    return at;
  }

  // Finds the next unit ahead holding a signature's last byte and queues the
  // signatures that end in it.
  bool SearchAhead() {
    const uint64_t unit = limits_.unit;
    const uint64_t held_units = call_.Held() / unit;
    const uint64_t max_units = (kMaxPackageBytes + limits_.max_total_gap_bytes) / unit;
    if (held_units >= max_units) return false;
    const uint64_t start = (held_units + from_units_) * unit;
    std::array<uint8_t, 3> tail{};
    if (!call_.PeekAt(start - tail.size(), tail)) return false;
    const CarverCall::Ahead ahead =
        call_.FindAhead(kEndSignature, tail, max_units - held_units, from_units_);
    if (ahead.outcome != CarverCall::Ahead::Outcome::kFound) return false;
    from_units_ = ahead.units;
    const uint64_t unit_start = (held_units + ahead.units - 1) * unit;
    const uint64_t window_start = unit_start - (kEndSignature.size() - 1);
    window_.resize(unit + kEndSignature.size() - 1);
    if (!call_.PeekAt(window_start, window_)) return false;
    for (size_t i = 0; i + kEndSignature.size() <= window_.size(); ++i) {
      if (std::memcmp(window_.data() + i, kEndSignature.data(), kEndSignature.size()) == 0) {
        pending_.push_back(window_start + i);
      }
    }
    return true;
  }

  CarverCall& call_;
  const ZipReassemblyLimits& limits_;
  int seen_ = 0;
  uint64_t comment_ = 0;
  uint64_t held_next_ = 0;
  bool held_done_ = false;
  uint64_t from_units_ = 0;
  std::vector<uint64_t> pending_;
  std::vector<uint8_t> window_;
};

}  // namespace

std::optional<RebuiltZipPackage> RebuildZipPackage(CarverCall& call) {
  CarverEnv& env = call.Env();
  ZipReassemblyLimits limits;
  limits.unit = env.bytes_per_sector;
  if (limits.unit == 0 || call.Held() < limits.unit || call.Held() % limits.unit != 0 ||
      env.rebuild_work_left == 0) {
    return std::nullopt;
  }
  EndRecordSearch search(call, limits);
  while (const auto position = search.Next()) {
    const uint64_t end = *position + kZipEndFixedBytes + search.Comment();
    // Reading up to the record is part of the work a scan allows for
    // rebuilding, so a disk of look-alike packages cannot make it quadratic.
    const uint64_t reading = end > call.Held() ? end - call.Held() : 0;
    if (env.rebuild_work_left < reading) return std::nullopt;
    env.rebuild_work_left -= reading;
    const uint64_t units_before = call.Held() / limits.unit;
    if (!call.ReadUntil(end)) return std::nullopt;
    search.Read(call.Held() / limits.unit - units_before);
    const auto rebuilt = ReassembleZipStream(call.Bytes().first(static_cast<size_t>(end)),
                                             *position, limits, env.rebuild_work_left);
    if (!rebuilt) continue;

    std::vector<std::pair<uint64_t, uint64_t>> gaps;
    uint64_t next_unit = 0;
    for (const StreamPiece& piece : rebuilt->pieces) {
      const uint64_t first_unit = piece.stream_offset / limits.unit;
      if (first_unit > next_unit) gaps.emplace_back(next_unit, first_unit);
      next_unit = (piece.stream_offset + piece.length + limits.unit - 1) / limits.unit;
    }
    const uint64_t held_units = call.Held() / limits.unit;
    if (next_unit < held_units) gaps.emplace_back(next_unit, held_units);
    if (!call.ReleaseHeldUnits(gaps)) return std::nullopt;

    RebuiltZipPackage package;
    package.bytes.reserve(static_cast<size_t>(rebuilt->length));
    for (const StreamPiece& piece : rebuilt->pieces) {
      const auto bytes = call.Bytes().subspan(static_cast<size_t>(piece.stream_offset),
                                              static_cast<size_t>(piece.length));
      package.bytes.insert(package.bytes.end(), bytes.begin(), bytes.end());
    }
    package.names = std::move(rebuilt->names);
    package.fragments = rebuilt->pieces.size();
    return package;
  }
  return std::nullopt;
}

}  // namespace officecarve
