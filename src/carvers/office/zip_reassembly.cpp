#include "carvers/office/zip_reassembly.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <utility>

#include "carvers/archive/zip_records.h"
#include "carvers/office/stored_gaps.h"
#include "carvers/office/watched_inflater.h"
#include "core/byte_order.h"
#include "core/crc32.h"

namespace officecarve {
namespace {

constexpr uint32_t kDescriptorSignature = 0x08074B50;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr uint32_t kZip64Marker = 0xFFFFFFFF;
// Local headers of the right name tried for one entry before it counts as
// not found (its header may itself lie across a gap).
constexpr int kTriesPerAnchor = 4;
// A stream of nothing but local header signatures is given up on.
constexpr size_t kMaxSignatures = 1u << 20;
constexpr size_t kOutputChunk = 64 * 1024;

struct CentralEntry {
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
  uint64_t offset = 0;
  std::string name;
};

// Where the package's bytes lie in the stream: byte x of the package is at
// x + before below `split` and at x + after from it on.
struct Mapping {
  uint64_t split = UINT64_MAX;
  uint64_t before = 0;
  uint64_t after = 0;

  static Mapping Uniform(uint64_t gap) { return {UINT64_MAX, gap, gap}; }
};

using Pieces = std::array<std::span<const uint8_t>, 2>;

struct Split {
  uint64_t at = 0;
  uint64_t shift = 0;
};

// Gaps looked for inside one entry's data, and how far before the point
// where the data stops unpacking a gap may begin: a stored deflate block
// shows nothing wrong until its end.
constexpr size_t kMaxGapsInEntry = 3;
constexpr uint64_t kUnpackingLag = 64 * 1024;
// Unpacking usually stops within a few bytes of a gap's start; where a
// second gap is looked for, only the points this close are tried.
constexpr uint64_t kNearLag = 4 * 1024;
constexpr size_t kLeadsFollowed = 8;
constexpr uint64_t kWorkPerPackage = 32ull << 20;
constexpr uint64_t kStateCopyWork = 4096;
constexpr uint64_t kWorkPerStreamByte = 16;

struct Check {
  bool good = false;
  // When not good: the package byte at or before which the gap must begin
  // (the first byte seen to be wrong, or the region's end when unknown).
  uint64_t first_wrong = 0;
};

class Reassembler {
 public:
  Reassembler(std::span<const uint8_t> stream, const ZipReassemblyLimits& limits,
              uint64_t& work_left)
      : stream_(stream), limits_(limits), work_left_(work_left), output_(kOutputChunk) {}

  std::optional<ZipReassembly> Run(uint64_t end_record);

 private:
  bool Charge(uint64_t bytes) {
    if (work_left_ < bytes) {
      work_left_ = 0;
      return false;
    }
    work_left_ -= bytes;
    return true;
  }
  uint64_t Unit() const { return limits_.unit; }
  uint64_t RegionEnd(size_t entry) const {
    return entry + 1 < entries_.size() ? entries_[entry + 1].offset : directory_offset_;
  }

  // The stream bytes that hold package bytes [x, x + n), or nothing when they
  // run past the stream.
  std::optional<Pieces> Locate(const Mapping& m, uint64_t x, uint64_t n) const;
  bool Copy(const Mapping& m, uint64_t x, std::span<uint8_t> out) const;

  bool ReadCentralDirectory(const Mapping& m, uint64_t size, uint16_t count);
  bool LocateCentralDirectory(uint64_t end_record, uint64_t size, uint16_t count);
  bool EntriesAreOrdered();
  void FindLocalSignatures(uint64_t end);

  // The parts of an entry's region: its local header, its data and what
  // follows the data (a data descriptor, when the entry has one).
  Check CheckHeader(size_t entry, const Mapping& m, uint64_t& data_start) const;
  Check CheckData(const CentralEntry& entry, const Mapping& m, uint64_t data_start);
  Check CheckTrailer(size_t entry, const Mapping& m) const;
  Check CheckEntry(size_t entry, const Mapping& m);

  // Where in entry `index`'s region, between package bytes `low` and `high`,
  // the gaps that move the shift from `before` to `after` begin: the points
  // in ascending order, each with the shift from there on.
  std::optional<std::vector<Split>> SplitEntry(size_t index, uint64_t before, uint64_t after,
                                               uint64_t low, uint64_t high);
  std::optional<std::vector<Split>> SplitData(size_t index, uint64_t before, uint64_t after,
                                              uint64_t low, uint64_t high);
  std::optional<uint64_t> SplitStored(const CentralEntry& entry, uint64_t data_start,
                                      uint64_t before, uint64_t after, uint64_t low, uint64_t high);
  // With `state` fed the entry's data up to package byte x at shift `shift`:
  // whether the rest unpacks to the listed size and CRC-32 with at most
  // `gaps_left` more gaps, the last moving the shift to `after`, each
  // beginning no later than `high`. The gaps found are appended to `splits`.
  bool ContinueInflating(const CentralEntry& entry, uint64_t data_end, const WatchedInflater& state,
                         uint64_t x, uint64_t shift, uint64_t after, uint64_t high,
                         size_t gaps_left, size_t depth, std::vector<Split>& splits);
  bool FeedRange(WatchedInflater& inflater, const CentralEntry& entry, uint64_t from, uint64_t to,
                 uint64_t shift);
  WatchedInflater& InflaterAt(size_t slot);
  // Copying an inflater's state copies its 32 KiB window: work as well.
  bool CopyState(WatchedInflater& to, const WatchedInflater& from) {
    return Charge(kStateCopyWork) && to.CopyFrom(from);
  }
  // Entries [first, end) lie between a local header found at shift `before`
  // and the next anchor at shift `after`; notes where the gaps between them
  // begin. False when no gaps within one entry make every entry check.
  bool PlaceSpan(size_t first, size_t end, uint64_t before, uint64_t after);
  uint64_t AlignedAtOrBelow(uint64_t x) const { return x / Unit() * Unit(); }
  size_t GapsLeft() const { return limits_.max_fragments - shifts_.size(); }

  std::span<const uint8_t> stream_;
  const ZipReassemblyLimits& limits_;
  uint64_t& work_left_;
  std::vector<CentralEntry> entries_;
  std::vector<std::string> names_;
  uint64_t directory_offset_ = 0;
  Mapping directory_mapping_;
  std::vector<uint64_t> signatures_;
  // (package byte, shift from there on), from (0, 0).
  std::vector<std::pair<uint64_t, uint64_t>> shifts_;
  std::vector<uint8_t> scratch_;
  std::vector<uint8_t> output_;
  WatchedInflater prefix_;
  std::vector<std::unique_ptr<WatchedInflater>> inflaters_;
};

std::optional<Pieces> Reassembler::Locate(const Mapping& m, uint64_t x, uint64_t n) const {
  Pieces pieces{};
  const uint64_t end = x + n;
  if (end < x) return std::nullopt;
  const auto take = [&](uint64_t from, uint64_t to, uint64_t gap, std::span<const uint8_t>& out) {
    if (from >= to) return true;
    const uint64_t at = from + gap;
    if (at < from || at > stream_.size() || to - from > stream_.size() - at) return false;
    out = stream_.subspan(static_cast<size_t>(at), static_cast<size_t>(to - from));
    return true;
  };
  if (!take(x, std::min(end, m.split), m.before, pieces[0])) return std::nullopt;
  if (!take(std::max(x, m.split), end, m.after, pieces[1])) return std::nullopt;
  return pieces;
}

bool Reassembler::Copy(const Mapping& m, uint64_t x, std::span<uint8_t> out) const {
  const auto pieces = Locate(m, x, out.size());
  if (!pieces) return false;
  // std::copy, not memcpy: an empty piece has no data pointer.
  std::copy((*pieces)[0].begin(), (*pieces)[0].end(), out.begin());
  std::copy((*pieces)[1].begin(), (*pieces)[1].end(),
            out.begin() + static_cast<std::ptrdiff_t>((*pieces)[0].size()));
  return true;
}

bool Reassembler::ReadCentralDirectory(const Mapping& m, uint64_t size, uint16_t count) {
  if (!Charge(size)) return false;
  scratch_.resize(static_cast<size_t>(size));
  if (!Copy(m, directory_offset_, scratch_)) return false;
  const std::span<const uint8_t> bytes(scratch_);
  entries_.clear();
  uint64_t at = 0;
  for (uint16_t i = 0; i < count; ++i) {
    if (size - at < kZipCentralFixedBytes || Le32At(bytes, at) != kZipCentralHeader) return false;
    CentralEntry entry;
    entry.flags = Le16At(bytes, at + 8);
    entry.method = Le16At(bytes, at + 10);
    entry.crc = Le32At(bytes, at + 16);
    const uint32_t compressed = Le32At(bytes, at + 20);
    const uint32_t uncompressed = Le32At(bytes, at + 24);
    const uint64_t name_length = Le16At(bytes, at + 28);
    const uint64_t rest = name_length + Le16At(bytes, at + 30) + Le16At(bytes, at + 32);
    const uint32_t offset = Le32At(bytes, at + 42);
    if (compressed == kZip64Marker || uncompressed == kZip64Marker || offset == kZip64Marker) {
      return false;
    }
    if (size - at - kZipCentralFixedBytes < rest) return false;
    entry.compressed = compressed;
    entry.uncompressed = uncompressed;
    entry.offset = offset;
    const auto name = bytes.subspan(static_cast<size_t>(at + kZipCentralFixedBytes),
                                    static_cast<size_t>(name_length));
    entry.name.assign(name.begin(), name.end());
    entries_.push_back(std::move(entry));
    at += kZipCentralFixedBytes + rest;
  }
  return at == size;
}

bool Reassembler::LocateCentralDirectory(uint64_t end_record, uint64_t size, uint16_t count) {
  const uint64_t end_gap = end_record - directory_offset_ - size;
  directory_mapping_ = Mapping::Uniform(end_gap);
  if (ReadCentralDirectory(directory_mapping_, size, count)) return true;
  // A gap inside the directory: its first header lies at a smaller shift.
  static constexpr uint8_t kSignature[] = {'P', 'K', 1, 2};
  for (uint64_t gap = end_gap; gap >= Unit();) {
    gap -= Unit();
    const uint64_t at = directory_offset_ + gap;
    if (at + 4 > stream_.size() || !Charge(4)) return false;
    if (std::memcmp(stream_.data() + at, kSignature, 4) != 0) continue;
    for (uint64_t split = AlignedAtOrBelow(directory_offset_ + size - 1); split > directory_offset_;
         split -= Unit()) {
      directory_mapping_ = {split, gap, end_gap};
      if (ReadCentralDirectory(directory_mapping_, size, count)) return true;
      if (work_left_ == 0 || split < Unit()) return false;
    }
  }
  return false;
}

bool Reassembler::EntriesAreOrdered() {
  for (const CentralEntry& entry : entries_) names_.push_back(entry.name);
  std::stable_sort(
      entries_.begin(), entries_.end(),
      [](const CentralEntry& a, const CentralEntry& b) { return a.offset < b.offset; });
  if (entries_.empty() || entries_[0].offset != 0) return false;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const CentralEntry& entry = entries_[i];
    const uint64_t least =
        entry.offset + kZipLocalFixedBytes + entry.name.size() + entry.compressed;
    if (least > RegionEnd(i)) return false;
  }
  return true;
}

void Reassembler::FindLocalSignatures(uint64_t end) {
  if (!Charge(end)) return;
  uint64_t at = 0;
  while (at + kZipLocalFixedBytes <= end && signatures_.size() < kMaxSignatures) {
    const void* found = std::memchr(stream_.data() + at, 'P', static_cast<size_t>(end - at));
    if (found == nullptr) return;
    at = static_cast<uint64_t>(static_cast<const uint8_t*>(found) - stream_.data());
    if (at + kZipLocalFixedBytes <= end && Le32At(stream_, at) == kZipLocalHeader) {
      signatures_.push_back(at);
    }
    ++at;
  }
}

Check Reassembler::CheckHeader(size_t index, const Mapping& m, uint64_t& data_start) const {
  const CentralEntry& entry = entries_[index];
  const uint64_t at = entry.offset;
  std::array<uint8_t, kZipLocalFixedBytes> fixed{};
  if (!Copy(m, at, fixed)) return {false, at};
  static constexpr uint8_t kSignature[] = {'P', 'K', 3, 4};
  for (uint64_t i = 0; i < 4; ++i) {
    if (fixed[i] != kSignature[i]) return {false, at + i};
  }
  const std::span<const uint8_t> bytes(fixed);
  const uint64_t name_length = Le16At(bytes, 26);
  if (name_length != entry.name.size()) return {false, at + 26};
  const auto name = Locate(m, at + kZipLocalFixedBytes, name_length);
  if (!name) return {false, at + kZipLocalFixedBytes};
  uint64_t i = 0;
  for (const auto& piece : *name) {
    for (const uint8_t byte : piece) {
      if (byte != static_cast<uint8_t>(entry.name[i])) return {false, at + kZipLocalFixedBytes + i};
      ++i;
    }
  }
  // Without a descriptor the local header repeats what the directory says.
  if ((Le16At(bytes, 6) & 8) == 0 &&
      (Le32At(bytes, 14) != entry.crc || Le32At(bytes, 18) != entry.compressed)) {
    return {false, at + 14};
  }
  data_start = at + kZipLocalFixedBytes + name_length + Le16At(bytes, 28);
  if (data_start + entry.compressed > RegionEnd(index)) return {false, at + 28};
  return {true, 0};
}

Check Reassembler::CheckData(const CentralEntry& entry, const Mapping& m, uint64_t data_start) {
  const uint64_t data_end = data_start + entry.compressed;
  const auto pieces = Locate(m, data_start, entry.compressed);
  if (!pieces) return {false, data_start};
  if (entry.method == kStored) {
    if (entry.compressed != entry.uncompressed) return {false, data_start};
    uint32_t crc = crc32(0, nullptr, 0);
    for (const auto& piece : *pieces) crc = Crc32(crc, piece);
    if (crc != entry.crc) return {false, data_end};
    return {true, 0};
  }
  if (entry.method != kDeflated || !prefix_.Reset(false)) return {false, data_end};
  for (const auto& piece : *pieces) {
    if (!prefix_.Feed(piece, entry.uncompressed, output_)) {
      return {false, data_start + prefix_.Consumed()};
    }
  }
  if (!prefix_.ended) return {false, data_end};
  if (prefix_.Produced() != entry.uncompressed || prefix_.crc != entry.crc) {
    return {false, data_end};
  }
  return {true, 0};
}

Check Reassembler::CheckTrailer(size_t index, const Mapping& m) const {
  const CentralEntry& entry = entries_[index];
  const uint64_t end = RegionEnd(index);
  // Where the data ends is known only from the local header; the trailer is
  // read back from the region's end instead, in each descriptor's layout.
  const uint64_t least = entry.offset + kZipLocalFixedBytes + entry.name.size() + entry.compressed;
  const uint64_t room = end - least;
  if (room == 0) return {true, 0};
  std::array<uint8_t, 24> tail{};
  const uint64_t length = std::min<uint64_t>(room, tail.size());
  if (!Copy(m, end - length, std::span(tail).first(static_cast<size_t>(length)))) {
    return {false, end - length};
  }
  const std::span<const uint8_t> bytes = std::span(tail).first(static_cast<size_t>(length));
  const auto matches = [&](uint64_t size, bool signed_form, bool wide) {
    if (length < size) return false;
    uint64_t at = length - size;
    if (signed_form && Le32At(bytes, at) != kDescriptorSignature) return false;
    if (signed_form) at += 4;
    if (Le32At(bytes, at) != entry.crc) return false;
    if (wide) {
      return Le64At(bytes, at + 4) == entry.compressed &&
             Le64At(bytes, at + 12) == entry.uncompressed;
    }
    return Le32At(bytes, at + 4) == entry.compressed && Le32At(bytes, at + 8) == entry.uncompressed;
  };
  if ((entry.flags & 8) == 0) return {true, 0};
  if (matches(16, true, false) || matches(12, false, false) || matches(24, true, true) ||
      matches(20, false, true)) {
    return {true, 0};
  }
  return {false, end - length};
}

Check Reassembler::CheckEntry(size_t index, const Mapping& m) {
  const CentralEntry& entry = entries_[index];
  if (!Charge(RegionEnd(index) - entry.offset)) return {false, entry.offset};
  uint64_t data_start = 0;
  if (const Check header = CheckHeader(index, m, data_start); !header.good) return header;
  if (const Check data = CheckData(entry, m, data_start); !data.good) return data;
  return CheckTrailer(index, m);
}

WatchedInflater& Reassembler::InflaterAt(size_t slot) {
  while (inflaters_.size() <= slot) inflaters_.push_back(std::make_unique<WatchedInflater>());
  return *inflaters_[slot];
}

bool Reassembler::FeedRange(WatchedInflater& inflater, const CentralEntry& entry, uint64_t from,
                            uint64_t to, uint64_t shift) {
  if (to <= from) return true;
  const auto pieces = Locate(Mapping::Uniform(shift), from, to - from);
  if (!pieces || work_left_ == 0) return false;
  // Charged for what was unpacked: a wrong place usually fails at once.
  const uint64_t consumed = inflater.Consumed();
  const uint64_t produced = inflater.Produced();
  const bool fed = inflater.Feed((*pieces)[0], entry.uncompressed, output_);
  const uint64_t work = inflater.Consumed() - consumed + (inflater.Produced() - produced) / 16;
  return Charge(std::max<uint64_t>(work, 64)) && fed;
}

bool Reassembler::ContinueInflating(const CentralEntry& entry, uint64_t data_end,
                                    const WatchedInflater& state, uint64_t x, uint64_t shift,
                                    uint64_t after, uint64_t high, size_t gaps_left, size_t depth,
                                    std::vector<Split>& splits) {
  WatchedInflater& walker = InflaterAt(2 * depth);
  WatchedInflater& trial = InflaterAt(2 * depth + 1);
  const uint64_t data_start = data_end - entry.compressed;
  // How far the data unpacks at this shift bounds where the next gap begins.
  if (!CopyState(walker, state)) return false;
  uint64_t unpacks_to = data_end;
  if (!FeedRange(walker, entry, x, data_end, shift)) unpacks_to = data_start + walker.Consumed();
  unpacks_to = std::min(unpacks_to, high);
  if (work_left_ == 0) return false;
  const auto first_point = [&](uint64_t lag) {
    uint64_t y = AlignedAtOrBelow(std::max(x, unpacks_to > lag ? unpacks_to - lag : 0));
    return y < x ? y + Unit() : y;
  };

  // One gap, after which the data runs on at `after` to its end.
  uint64_t y = first_point(kUnpackingLag);
  if (!CopyState(walker, state) || !FeedRange(walker, entry, x, y, shift)) return false;
  const uint64_t near = first_point(kNearLag);
  std::vector<uint64_t> near_points;
  for (; y <= unpacks_to; y += Unit()) {
    if (CopyState(trial, walker) && FeedRange(trial, entry, y, data_end, after) && trial.ended &&
        trial.Produced() == entry.uncompressed && trial.crc == entry.crc) {
      splits.push_back({y, after});
      return true;
    }
    if (work_left_ == 0) return false;
    if (y >= near && y + Unit() < data_end) near_points.push_back(y);
    if (y >= data_end || !FeedRange(walker, entry, y, std::min(y + Unit(), data_end), shift)) break;
  }
  if (gaps_left < 2 || depth + 1 >= kMaxGapsInEntry || near_points.empty()) return false;

  // More gaps: the data at some smaller shift first. Each shift is tried
  // from the points nearest where the data stopped unpacking, and the ones
  // that unpack furthest are followed.
  struct Lead {
    uint64_t at = 0;
    uint64_t shift = 0;
    uint64_t reach = 0;
  };
  std::vector<Lead> leads;
  if (!CopyState(walker, state) || !FeedRange(walker, entry, x, near_points.front(), shift)) {
    return false;
  }
  for (const uint64_t at : near_points) {
    if (at > near_points.front() && !FeedRange(walker, entry, at - Unit(), at, shift)) {
      break;
    }
    for (uint64_t middle = shift + Unit(); middle < after; middle += Unit()) {
      if (!CopyState(trial, walker)) return false;
      const uint64_t probe_end = std::min(data_end, at + kUnpackingLag);
      uint64_t reach = probe_end;
      if (!FeedRange(trial, entry, at, probe_end, middle)) reach = data_start + trial.Consumed();
      if (work_left_ == 0) return false;
      if (reach >= at + Unit()) leads.push_back({at, middle, reach});
    }
  }
  // The right shift unpacks the whole middle fragment before it meets the
  // next gap, so the leads that went furthest are followed first.
  std::sort(leads.begin(), leads.end(),
            [](const Lead& a, const Lead& b) { return a.reach - a.at > b.reach - b.at; });
  if (leads.size() > kLeadsFollowed) leads.resize(kLeadsFollowed);
  for (const Lead& lead : leads) {
    if (!CopyState(walker, state) || !FeedRange(walker, entry, x, lead.at, shift)) return false;
    if (!FeedRange(walker, entry, lead.at, lead.at + Unit(), lead.shift)) continue;
    splits.push_back({lead.at, lead.shift});
    if (ContinueInflating(entry, data_end, walker, lead.at + Unit(), lead.shift, after, data_end,
                          gaps_left - 1, depth + 1, splits)) {
      return true;
    }
    splits.pop_back();
    if (work_left_ == 0) return false;
  }
  return false;
}

std::optional<uint64_t> Reassembler::SplitStored(const CentralEntry& entry, uint64_t data_start,
                                                 uint64_t before, uint64_t after, uint64_t low,
                                                 uint64_t high) {
  const uint64_t data_end = data_start + entry.compressed;
  if (entry.compressed != entry.uncompressed || !Charge(entry.compressed)) return std::nullopt;
  uint64_t first = AlignedAtOrBelow(low);
  if (first < low) first += Unit();
  // The CRC-32 of the bytes before each split point and of those after it
  // at the new shift, each computed once and joined per split point.
  std::vector<uint64_t> splits;
  for (uint64_t x = first; x <= high; x += Unit()) splits.push_back(x);
  std::vector<uint32_t> after_crcs(splits.size());
  uint32_t running = crc32(0, nullptr, 0);
  uint64_t from = data_end;
  for (size_t i = splits.size(); i-- > 0;) {
    const auto piece = Locate(Mapping::Uniform(after), splits[i], from - splits[i]);
    if (!piece) return std::nullopt;
    running = static_cast<uint32_t>(
        crc32_combine(Crc32(0, (*piece)[0]), running, static_cast<z_off_t>(data_end - from)));
    after_crcs[i] = running;
    from = splits[i];
  }
  uint32_t before_crc = crc32(0, nullptr, 0);
  uint64_t done = data_start;
  for (size_t i = 0; i < splits.size(); ++i) {
    const auto piece = Locate(Mapping::Uniform(before), done, splits[i] - done);
    if (!piece) return std::nullopt;
    before_crc = Crc32(before_crc, (*piece)[0]);
    done = splits[i];
    const uint32_t whole = static_cast<uint32_t>(
        crc32_combine(before_crc, after_crcs[i], static_cast<z_off_t>(data_end - splits[i])));
    if (whole == entry.crc) return splits[i];
  }
  return std::nullopt;
}

std::optional<std::vector<Split>> Reassembler::SplitData(size_t index, uint64_t before,
                                                         uint64_t after, uint64_t low,
                                                         uint64_t high) {
  const CentralEntry& entry = entries_[index];
  uint64_t data_start = 0;
  if (!CheckHeader(index, Mapping::Uniform(before), data_start).good) return std::nullopt;
  if (!CheckTrailer(index, Mapping::Uniform(after)).good) return std::nullopt;
  const uint64_t data_end = data_start + entry.compressed;
  low = std::max(low, data_start);
  high = std::min(high, data_end);
  if (low > high) return std::nullopt;
  if (entry.method == kStored) {
    if (const auto split = SplitStored(entry, data_start, before, after, low, high)) {
      return std::vector<Split>{{*split, after}};
    }
    if (GapsLeft() < 2) return std::nullopt;
    const StoredData data{stream_, data_start, data_end, entry.crc, Unit()};
    // A second layout that also fits would leave the choice to chance.
    const auto found = FindTwoStoredGaps(data, before, after, low, 2, work_left_);
    if (found.size() != 1) return std::nullopt;
    std::vector<Split> splits{{found[0].first, found[0].middle}, {found[0].second, after}};
    scratch_.clear();
    uint64_t from = data_start;
    uint64_t shift = before;
    for (const Split& split : splits) {
      const auto piece = Locate(Mapping::Uniform(shift), from, split.at - from);
      if (!piece) return std::nullopt;
      scratch_.insert(scratch_.end(), (*piece)[0].begin(), (*piece)[0].end());
      from = split.at;
      shift = split.shift;
    }
    const auto piece = Locate(Mapping::Uniform(shift), from, data_end - from);
    if (!piece) return std::nullopt;
    scratch_.insert(scratch_.end(), (*piece)[0].begin(), (*piece)[0].end());
    if (!PictureSyntaxHolds(scratch_)) return std::nullopt;
    return splits;
  }
  if (entry.method != kDeflated) return std::nullopt;
  uint64_t start = AlignedAtOrBelow(low);
  if (start < low) start += Unit();
  start = std::min(start, data_end);
  // The strict search sees a gap in a picture sooner; a flat picture fails
  // it, and gets the lenient one.
  for (const bool strict : {true, false}) {
    std::vector<Split> splits;
    if (prefix_.Reset(strict) && FeedRange(prefix_, entry, data_start, start, before) &&
        ContinueInflating(entry, data_end, prefix_, start, before, after, high, GapsLeft(), 0,
                          splits)) {
      return splits;
    }
    if (work_left_ == 0) break;
  }
  return std::nullopt;
}

std::optional<std::vector<Split>> Reassembler::SplitEntry(size_t index, uint64_t before,
                                                          uint64_t after, uint64_t low,
                                                          uint64_t high) {
  const CentralEntry& entry = entries_[index];
  uint64_t data_start = 0;
  const bool header_before = CheckHeader(index, Mapping::Uniform(before), data_start).good;
  if (header_before) {
    if (auto splits = SplitData(index, before, after, low, high)) return splits;
  }
  // Split points in the local header or the trailer, where no CRC-32 says
  // which; there are a few of them at most.
  const uint64_t data_end =
      header_before ? data_start + entry.compressed : entry.offset + kZipLocalFixedBytes;
  for (uint64_t x = AlignedAtOrBelow(std::min(high, RegionEnd(index))); x >= low; x -= Unit()) {
    const bool in_data = header_before && x >= data_start && x <= data_end;
    if (!in_data && CheckEntry(index, {x, before, after}).good) {
      return std::vector<Split>{{x, after}};
    }
    if (work_left_ == 0 || x < Unit()) break;
  }
  return std::nullopt;
}

bool Reassembler::PlaceSpan(size_t first, size_t end, uint64_t before, uint64_t after) {
  if (after < before || after - before > limits_.max_gap_bytes) return false;
  if (after == before) {
    for (size_t i = first; i < end; ++i) {
      if (!CheckEntry(i, Mapping::Uniform(before)).good) return false;
    }
    return true;
  }
  if (GapsLeft() == 0) return false;
  const uint64_t span_end = end < entries_.size() ? entries_[end].offset : directory_offset_;
  size_t broken = end;
  uint64_t first_wrong = span_end;
  for (size_t i = first; i < end && broken == end; ++i) {
    const Check check = CheckEntry(i, Mapping::Uniform(before));
    if (!check.good) {
      broken = i;
      first_wrong = check.first_wrong;
    }
  }
  if (broken == end) {
    // Every entry is whole before the gap, which begins where the anchor does.
    if ((span_end + before) % Unit() != 0) return false;
    shifts_.emplace_back(span_end, after);
    return true;
  }
  for (size_t i = broken + 1; i < end; ++i) {
    if (!CheckEntry(i, Mapping::Uniform(after)).good) return false;
  }
  // The span's own first header was found at `before`, so the gap begins
  // after it; a later entry may have lost its header to the gap.
  const uint64_t low = entries_[broken].offset + (broken == first ? 1 : 0);
  const auto splits = SplitEntry(broken, before, after, low, first_wrong);
  if (!splits || splits->size() > GapsLeft()) return false;
  for (const Split& split : *splits) shifts_.emplace_back(split.at, split.shift);
  return true;
}

std::optional<ZipReassembly> Reassembler::Run(uint64_t end_record) {
  if (Unit() == 0 || end_record > stream_.size() ||
      stream_.size() - end_record < kZipEndFixedBytes) {
    return std::nullopt;
  }
  const auto end = stream_.subspan(static_cast<size_t>(end_record));
  const uint16_t count = Le16At(end, 10);
  const uint64_t size = Le32At(end, 12);
  directory_offset_ = Le32At(end, 16);
  const uint64_t comment = Le16At(end, 20);
  if (count == 0 || directory_offset_ == kZip64Marker || size < kZipCentralFixedBytes * count) {
    return std::nullopt;
  }
  if (end.size() - kZipEndFixedBytes < comment) return std::nullopt;
  const uint64_t logical_end = directory_offset_ + size;
  if (end_record < logical_end) return std::nullopt;
  const uint64_t end_gap = end_record - logical_end;
  if (end_gap % Unit() != 0 || end_gap > limits_.max_total_gap_bytes) return std::nullopt;
  if (!LocateCentralDirectory(end_record, size, count) || !EntriesAreOrdered()) return std::nullopt;
  const uint64_t directory_gap = directory_mapping_.before;

  FindLocalSignatures(std::min<uint64_t>(end_record, directory_offset_ + directory_gap));
  shifts_.assign(1, {0, 0});
  size_t anchor = 0;
  uint64_t shift = 0;
  while (anchor < entries_.size()) {
    bool placed = false;
    for (size_t next = anchor + 1; next <= entries_.size() && !placed; ++next) {
      if (next == entries_.size()) {
        if (!PlaceSpan(anchor, next, shift, directory_gap)) return std::nullopt;
        anchor = next;
        placed = true;
        break;
      }
      const CentralEntry& entry = entries_[next];
      const uint64_t lowest = entry.offset + shift;
      auto it = std::lower_bound(signatures_.begin(), signatures_.end(), lowest);
      int tries = 0;
      for (; it != signatures_.end() && *it <= entry.offset + directory_gap; ++it) {
        if (!Charge(64)) return std::nullopt;
        if ((*it - entry.offset) % Unit() != 0) continue;
        const uint64_t gap = *it - entry.offset;
        uint64_t ignored = 0;
        if (!CheckHeader(next, Mapping::Uniform(gap), ignored).good) continue;
        if (++tries > kTriesPerAnchor) break;
        if (PlaceSpan(anchor, next, shift, gap)) {
          anchor = next;
          shift = gap;
          placed = true;
          break;
        }
      }
      if (work_left_ == 0) return std::nullopt;
    }
    if (!placed) return std::nullopt;
  }
  if (directory_mapping_.split != UINT64_MAX) {
    if (shifts_.size() >= limits_.max_fragments) return std::nullopt;
    shifts_.emplace_back(directory_mapping_.split, end_gap);
  }

  ZipReassembly result;
  result.length = logical_end + kZipEndFixedBytes + comment;
  for (size_t i = 0; i < shifts_.size(); ++i) {
    const uint64_t from = shifts_[i].first;
    const uint64_t to = i + 1 < shifts_.size() ? shifts_[i + 1].first : result.length;
    if (to <= from) continue;
    result.pieces.push_back({from + shifts_[i].second, to - from});
  }
  result.names = std::move(names_);
  return result;
}

}  // namespace

std::optional<ZipReassembly> ReassembleZipStream(std::span<const uint8_t> stream,
                                                 uint64_t end_record,
                                                 const ZipReassemblyLimits& limits,
                                                 uint64_t& work_left) {
  // A package that cannot be put back takes no more than its share, so the
  // packages after it still get theirs.
  const uint64_t share = kWorkPerPackage + kWorkPerStreamByte * stream.size();
  uint64_t allowance = std::min(work_left, share);
  const uint64_t granted = allowance;
  Reassembler reassembler(stream, limits, allowance);
  auto result = reassembler.Run(end_record);
  work_left -= granted - allowance;
  return result;
}

}  // namespace officecarve
