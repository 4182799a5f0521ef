#include "carvers/office/zip_package_rebuild.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "carvers/archive/zip_records.h"
#include "carvers/office/zip_reassembly.h"
#include "core/byte_order.h"
#include "core/scan_state.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr std::string_view kEndSignature = "PK\x05\x06";
// The largest package rebuilt, and how far past the break its end record is
// looked for: the package and its gaps are held in memory together.
constexpr uint64_t kMaxPackageBytes = 256ull << 20;
// End records of other archives passed before giving up, and directory
// entries looked through for the package's first one.
constexpr int kMaxEndRecords = 16;
constexpr int kMaxEntriesLooked = 256;

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
  // `limits.unit` is the source's sector, the finest fragments come in.
  EndRecordSearch(CarverCall& call, const ZipReassemblyLimits& limits, uint64_t intact)
      : call_(call), limits_(limits), intact_(std::max(intact, kZipLocalFixedBytes)) {}

  // The next end record that could close the package, or nothing.
  std::optional<uint64_t> Next() {
    while (seen_ < kMaxEndRecords) {
      const auto position = NextSignature();
      if (!position) return std::nullopt;
      ++seen_;
      std::array<uint8_t, kZipEndFixedBytes> fixed{};
      if (call_.PeekAt(*position, fixed) && CanClose(fixed, *position, limits_) &&
          ListsHeldEntries(*position - Le32At(fixed, 12), Le32At(fixed, 12))) {
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
  // Whether a directory lying whole at `directory` lists the call's first
  // local header at offset 0 (by name and, where the header gives them, by
  // CRC-32 and size) and the other whole local headers where they are (by
  // name): another archive's end record (another copy of a template's
  // "[Content_Types].xml" or of an OpenDocument's "mimetype", say) is
  // passed without reading up to it. A directory not found whole there may
  // lie across a gap; the rebuild decides.
  bool ListsHeldEntries(uint64_t directory, uint64_t size) {
    std::array<uint8_t, kZipCentralFixedBytes> header{};
    std::array<uint8_t, kZipLocalFixedBytes> local{};
    std::vector<uint8_t> listed;
    std::vector<uint8_t> found;
    bool first_listed = false;
    uint64_t at = directory;
    for (int entry = 0; entry < kMaxEntriesLooked && at < directory + size; ++entry) {
      if (!call_.PeekAt(at, header) || Le32At(header, 0) != kZipCentralHeader) return true;
      const uint64_t name_length = Le16At(header, 28);
      const uint64_t offset = Le32At(header, 42);
      if (offset + kZipLocalFixedBytes + name_length <= intact_) {
        listed.resize(static_cast<size_t>(name_length));
        found.resize(static_cast<size_t>(name_length));
        if (!call_.PeekAt(at + kZipCentralFixedBytes, listed) || !call_.PeekAt(offset, local) ||
            Le32At(local, 0) != kZipLocalHeader || Le16At(local, 26) != name_length ||
            !call_.PeekAt(offset + kZipLocalFixedBytes, found) || listed != found) {
          return false;
        }
        const bool sizes_known = (Le16At(local, 6) & 8) == 0;
        if (sizes_known &&
            (Le32At(header, 16) != Le32At(local, 14) || Le32At(header, 20) != Le32At(local, 18))) {
          return false;
        }
        first_listed = first_listed || offset == 0;
      }
      at += kZipCentralFixedBytes + name_length + Le16At(header, 30) + Le16At(header, 32);
    }
    return first_listed;
  }

  std::optional<uint64_t> NextSignature() {
    if (!held_done_) {
      if (const auto at = call_.FindHeld(kEndSignature, held_next_)) {
        held_next_ = *at + 1;
        return at;
      }
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
  uint64_t intact_;
  int seen_ = 0;
  uint64_t comment_ = 0;
  uint64_t held_next_ = 0;
  bool held_done_ = false;
  uint64_t from_units_ = 0;
  std::vector<uint64_t> pending_;
  std::vector<uint8_t> window_;
};

// The unit a package's fragments come in: the cluster, when the scan knows
// the grid and the package starts on it (a file system places whole
// clusters, and there are far fewer places to try), else the sector.
uint64_t FragmentUnit(const CarverCall& call, const CarverEnv& env) {
  const uint64_t sector = env.bytes_per_sector;
  const int64_t per_cluster = env.sectors_per_cluster;
  const int64_t header_unit = call.HeaderOffset() / static_cast<int64_t>(sector);
  if (per_cluster > 1 && (header_unit - env.state.cluster_origin) % per_cluster == 0) {
    return sector * static_cast<uint64_t>(per_cluster);
  }
  return sector;
}

}  // namespace

std::optional<RebuiltZipPackage> RebuildZipPackage(CarverCall& call, uint64_t intact) {
  CarverEnv& env = call.Env();
  const uint64_t sector = env.bytes_per_sector;
  ZipReassemblyLimits limits;
  limits.unit = sector;
  if (sector == 0 || call.Held() < sector || call.Held() % sector != 0 ||
      env.rebuild_work_left == 0) {
    return std::nullopt;
  }
  ZipReassemblyLimits fragments = limits;
  fragments.unit = FragmentUnit(call, env);
  EndRecordSearch search(call, limits, intact);
  while (const auto position = search.Next()) {
    const uint64_t end = *position + kZipEndFixedBytes + search.Comment();
    // Reading up to the record is part of the work a scan allows for
    // rebuilding, so a disk of look-alike packages cannot make it quadratic.
    const uint64_t reading = end > call.Held() ? end - call.Held() : 0;
    if (env.rebuild_work_left < reading) return std::nullopt;
    env.rebuild_work_left -= reading;
    const uint64_t sectors_before = call.Held() / sector;
    if (!call.ReadUntil(end)) return std::nullopt;
    search.Read(call.Held() / sector - sectors_before);
    const auto rebuilt = ReassembleZipStream(call.Bytes().first(static_cast<size_t>(end)),
                                             *position, fragments, env.rebuild_work_left);
    // The directory listed this package's own records; one further on that
    // does too belongs to a copy of it, which would fail the same way.
    if (!rebuilt) return std::nullopt;

    std::vector<std::pair<uint64_t, uint64_t>> gaps;
    uint64_t next_sector = 0;
    for (const StreamPiece& piece : rebuilt->pieces) {
      const uint64_t first_sector = piece.stream_offset / sector;
      if (first_sector > next_sector) gaps.emplace_back(next_sector, first_sector);
      next_sector = (piece.stream_offset + piece.length + sector - 1) / sector;
    }
    const uint64_t held_sectors = call.Held() / sector;
    if (next_sector < held_sectors) gaps.emplace_back(next_sector, held_sectors);
    if (!call.ReleaseHeldUnits(gaps)) return std::nullopt;

    RebuiltZipPackage package;
    package.bytes.reserve(static_cast<size_t>(rebuilt->length));
    for (const StreamPiece& piece : rebuilt->pieces) {
      const auto bytes = call.Bytes().subspan(static_cast<size_t>(piece.stream_offset),
                                              static_cast<size_t>(piece.length));
      package.bytes.insert(package.bytes.end(), bytes.begin(), bytes.end());
    }
    package.names = std::move(rebuilt->names);
    return package;
  }
  return std::nullopt;
}

}  // namespace officecarve
