#include "scan/carver_frame.h"

#include <algorithm>
#include <cstring>

#include "core/find_bytes.h"

namespace officecarve {
namespace {

// Adds a run of units at the end of the file: it lengthens the last byte run
// when it follows that run on the source.
void AppendUnits(std::vector<ByteRun>& runs, const UnitRun& units, uint64_t unit_bytes) {
  const int64_t img_offset = units.first * static_cast<int64_t>(unit_bytes);
  const uint64_t length = static_cast<uint64_t>(units.count) * unit_bytes;
  if (!runs.empty()) {
    ByteRun& last = runs.back();
    if (last.img_offset + static_cast<int64_t>(last.length) == img_offset) {
      last.length += length;
      return;
    }
  }
  const uint64_t file_offset = runs.empty() ? 0 : runs.back().file_offset + runs.back().length;
  runs.push_back({file_offset, img_offset, length});
}

// Whether the pattern lies across the join of the stream's bytes before unit
// `after` and that unit's first ones. The bytes before are the last ones of
// unit `before`, or `seam` as it stands when there is none (-1); `seam`
// ends up holding both sides. Nothing when a unit cannot be read.
std::optional<bool> LiesAcrossJoin(std::vector<uint8_t>& seam, int64_t before, int64_t after,
                                   UnitEdges& edges, SectorSource& source, uint32_t unit_bytes,
                                   std::string_view needle) {
  const size_t overlap = needle.size() - 1;
  if (before >= 0) {
    seam.clear();
    if (overlap == 0) return false;
    const auto end = edges.Tail(source, before, unit_bytes, overlap);
    if (end.empty()) return std::nullopt;
    seam.assign(end.begin(), end.end());
  }
  if (seam.empty()) return false;
  const size_t head = std::min<size_t>(overlap, unit_bytes);
  if (head > 0) {
    const auto start = edges.Head(source, after, unit_bytes, head);
    if (start.empty()) return std::nullopt;
    seam.insert(seam.end(), start.begin(), start.end());
  }
  return FindBytes(seam, 0, needle).has_value();
}

}  // namespace

CarverCall::CarverCall(CarverEnv& env, int64_t offset)
    : env_(env),
      header_offset_(offset),
      buffer_(&own_buffer_),
      claims_(&own_claims_),
      skip_marks_(&own_skip_marks_),
      chain_records_(&own_chain_records_) {
  const int64_t unit_bytes = env_.bytes_per_sector;
  const int64_t header_unit = offset / unit_bytes;
  if (offset < 0 || env_.map.IsClaimed(header_unit)) {
    ended_ = true;
    return;
  }
  if (env_.workspace != nullptr && !env_.workspace->in_use) {
    env_.workspace->in_use = true;
    leased_ = true;
    buffer_ = &env_.workspace->bytes;
    claims_ = &env_.workspace->runs;
    skip_marks_ = &env_.workspace->skip_marks;
    chain_records_ = &env_.workspace->chain_records;
    claims_->clear();
    skip_marks_->clear();
    chain_records_->clear();
  }
  ClaimUnit(header_unit);
  claiming_ = true;
  ++env_.calls_claiming;
  EnsureRoom(static_cast<uint64_t>(unit_bytes));
  if (env_.source.ReadAt(buffer_->data(), static_cast<uint32_t>(unit_bytes), offset) != 0) {
    Fail();
    return;
  }
  read_position_ = offset + unit_bytes;
  held_ = static_cast<uint64_t>(unit_bytes);
  started_ = true;
}

CarverCall::~CarverCall() {
  if (!ended_) Fail();
  EndStorage();
  StopClaiming();
}

void CarverCall::StopClaiming() {
  if (!claiming_) return;
  claiming_ = false;
  --env_.calls_claiming;
}

void CarverCall::EnsureRoom(uint64_t bytes) {
  if (buffer_->size() < bytes) buffer_->Resize(static_cast<size_t>(bytes));
}

void CarverCall::EndStorage() {
  if (!leased_) return;
  leased_ = false;
  buffer_->Clear(CarverWorkspace::kKeptBytes);
  claims_->clear();
  if (claims_->capacity() > CarverWorkspace::kKeptBytes / sizeof(UnitRun)) {
    std::vector<UnitRun>().swap(*claims_);
  }
  skip_marks_->clear();
  if (skip_marks_->capacity() > CarverWorkspace::kKeptBytes / sizeof(SkipMark)) {
    std::vector<SkipMark>().swap(*skip_marks_);
  }
  chain_records_->clear();
  env_.workspace->in_use = false;
  buffer_ = &own_buffer_;
  claims_ = &own_claims_;
  skip_marks_ = &own_skip_marks_;
  chain_records_ = &own_chain_records_;
}

std::vector<int64_t> CarverCall::ClaimList() const {
  std::vector<int64_t> units;
  for (const UnitRun& run : *claims_) {
    for (int64_t unit = run.first; unit <= run.last(); ++unit) units.push_back(unit);
  }
  return units;
}

void CarverCall::ClaimUnit(int64_t unit) { ClaimRun(unit, 1); }

std::vector<ByteRun> CarverCall::ByteRuns(uint64_t file_length) const {
  std::vector<ByteRun> runs = kept_runs_;
  for (const UnitRun& units : *claims_) AppendUnits(runs, units, env_.bytes_per_sector);
  while (!runs.empty() && runs.back().file_offset >= file_length) runs.pop_back();
  if (!runs.empty()) {
    ByteRun& last = runs.back();
    last.length = std::min(last.length, file_length - last.file_offset);
  }
  return runs;
}

void CarverCall::KeepClaims() {
  ForgetChainsIfClaimsSkipUnclaimed();
  if (!claims_->empty()) last_kept_unit_ = claims_->back().last();
  kept_units_ += claimed_units_;
  run_cursor_ = 0;
  units_before_cursor_ = 0;
  for (const UnitRun& units : *claims_) env_.map.NoteKept(units.first, units.last());
  if (env_.claimed != nullptr && kept_runs_complete_) {
    for (const UnitRun& units : *claims_) AppendUnits(kept_runs_, units, env_.bytes_per_sector);
    if (kept_runs_.size() > env_.claimed->RunsLeft()) {
      kept_runs_complete_ = false;
      std::vector<ByteRun>().swap(kept_runs_);
    }
  }
  claims_->clear();
  claimed_units_ = 0;
}

void CarverCall::ClaimRun(int64_t first, int64_t count) {
  // Claims only ever move forward, so a run that continues the last one
  // joins it.
  if (!claims_->empty() && claims_->back().last() + 1 == first) {
    claims_->back().count += count;
  } else {
    claims_->push_back({first, count});
  }
  claimed_units_ += static_cast<uint64_t>(count);
  env_.map.ClaimRange(first, first + count - 1);
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

bool CarverCall::ReadMoreUntil(uint64_t bytes) {
  last_stop_ = Stop::kNone;
  if (!started_ || ended_) return false;
  const uint64_t unit_bytes = env_.bytes_per_sector;
  const uint64_t report_bytes = kProgressEveryUnits * unit_bytes;
  while (held_ < bytes) {
    const int64_t unit = NextUnclaimedUnit();
    if (unit < 0) {
      last_stop_ = Stop::kRangeEnd;
      return false;
    }
    // The unclaimed units from here on that the bytes asked for need, read
    // at once, up to where progress is next shown and at most a window.
    // Most walks ask for the next unit alone.
    int64_t count = 1;
    if (bytes - held_ > unit_bytes) {
      uint64_t units = std::min((bytes - held_ + unit_bytes - 1) / unit_bytes,
                                uint64_t{SectorSource::kWindowBytes} / unit_bytes);
      if (held_ % unit_bytes == 0) {
        units = std::min(units, (report_bytes - held_ % report_bytes) / unit_bytes);
      }
      const int64_t look_to = units > static_cast<uint64_t>(env_.range_last - unit)
                                  ? env_.range_last
                                  : unit + static_cast<int64_t>(units) - 1;
      count = env_.map.NextClaimed(unit, look_to) - unit;
    }
    const uint64_t asked = static_cast<uint64_t>(count) * unit_bytes;
    EnsureRoom(held_ + asked);
    const uint64_t missing = static_cast<uint32_t>(
        env_.source.ReadAt(buffer_->data() + held_, static_cast<uint32_t>(asked), read_position_));
    const uint64_t whole = (asked - missing) / unit_bytes;
    // A unit that could not be read is claimed all the same, so that a
    // failed call gives it back with the others.
    ClaimRun(unit, static_cast<int64_t>(whole) + (missing > 0 ? 1 : 0));
    read_position_ += static_cast<int64_t>(whole * unit_bytes);
    held_ += whole * unit_bytes;
    if (missing > 0) {
      last_stop_ = Stop::kShortRead;
      return false;
    }
    if (held_ % report_bytes == 0) ShowProgress();
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
  NoteSkipped(1);
  read_position_ += env_.bytes_per_sector;
  return true;
}

bool CarverCall::SkipClaimUnits(uint64_t units) {
  last_stop_ = Stop::kNone;
  if (!started_ || ended_) return units == 0;
  const int64_t unit_bytes = env_.bytes_per_sector;
  while (units > 0) {
    const int64_t first = NextUnclaimedUnit();
    if (first < 0) {
      last_stop_ = Stop::kRangeEnd;
      return false;
    }
    // Up to the next claimed unit, the range end or the units wanted.
    const int64_t look_to = units > static_cast<uint64_t>(env_.range_last - first)
                                ? env_.range_last
                                : first + static_cast<int64_t>(units) - 1;
    const int64_t count = env_.map.NextClaimed(first, look_to) - first;
    ClaimRun(first, count);
    NoteSkipped(static_cast<uint64_t>(count));
    read_position_ += count * unit_bytes;
    units -= static_cast<uint64_t>(count);
  }
  return true;
}

bool CarverCall::ClaimReadableUnits(uint64_t units) {
  last_stop_ = Stop::kNone;
  if (!started_ || ended_) return units == 0;
  const int64_t unit_bytes = env_.bytes_per_sector;
  uint64_t done = 0;
  while (done < units) {
    const int64_t unit = NextUnclaimedUnit();
    if (unit < 0) {
      last_stop_ = Stop::kRangeEnd;
      return false;
    }
    // The unclaimed units a window already holds were read: they are taken
    // as a run. Any other is read alone, so the first unreadable one is found.
    const auto held_units =
        static_cast<uint64_t>(env_.source.HeldAt(read_position_).size()) / unit_bytes;
    const uint64_t wanted = std::min(units - done, std::max<uint64_t>(1, held_units));
    const int64_t look_to = wanted > static_cast<uint64_t>(env_.range_last - unit)
                                ? env_.range_last
                                : unit + static_cast<int64_t>(wanted) - 1;
    const int64_t count = env_.map.NextClaimed(unit, look_to) - unit;
    ClaimRun(unit, count);
    if (held_units == 0 &&
        env_.source.WindowView(read_position_, static_cast<uint32_t>(unit_bytes)).empty()) {
      peeked_.resize(static_cast<size_t>(unit_bytes));
      peeked_unit_ = -1;
      if (env_.source.ReadAt(peeked_.data(), static_cast<uint32_t>(unit_bytes), read_position_) !=
          0) {
        last_stop_ = Stop::kShortRead;
        return false;
      }
    }
    NoteSkipped(static_cast<uint64_t>(count));
    read_position_ += count * unit_bytes;
    const uint64_t before = done;
    done += static_cast<uint64_t>(count);
    if (done / kProgressEveryUnits != before / kProgressEveryUnits) ShowProgress();
  }
  return true;
}

std::optional<uint64_t> CarverCall::SkipInsideRecord(uint64_t position, uint64_t& rest) {
  const uint64_t unit_bytes = env_.bytes_per_sector;
  // Both conditions only weaken as `rest` shrinks, so the units to skip are
  // counted at once.
  if (rest < 2 * unit_bytes || position + rest < held_ + unit_bytes) return 0;
  const uint64_t units =
      std::min(rest / unit_bytes - 1, (position + rest - held_ - unit_bytes) / unit_bytes + 1);
  // A record that runs past the scan range is given up before anything is
  // claimed: claiming to the range end only to release it again would cost
  // every such header the distance to the end.
  if (UnitAhead(units - 1) < 0) {
    last_stop_ = Stop::kRangeEnd;
    return std::nullopt;
  }
  if (!SkipClaimUnits(units)) return std::nullopt;
  rest -= units * unit_bytes;
  return units;
}

std::optional<uint64_t> CarverCall::FindHeld(std::string_view needle, uint64_t from) {
  const std::span<const uint8_t> held = Bytes();
  // Below this a search of the buffer costs less than a visit to the index.
  constexpr uint64_t kIndexedBytes = 4096;
  const uint64_t unit_bytes = env_.bytes_per_sector;
  const bool held_as_on_source =
      env_.needles != nullptr && !unit_mapping_lost_ && skip_marks_->empty() &&
      dropped_units_ == 0 && kept_units_ == 0 && !claims_->empty() &&
      claims_->front().first * static_cast<int64_t>(unit_bytes) == header_offset_ &&
      static_cast<uint64_t>(claims_->front().count) * unit_bytes >= held_;
  if (held_as_on_source && from < held_ && held_ - from >= kIndexedBytes) {
    // Searched on to the last start in the held bytes, so that the index
    // learns every start in them, as far as the range goes on; an
    // occurrence running past them is none.
    const int64_t held_end = header_offset_ + static_cast<int64_t>(held_);
    const int64_t range_end = (env_.range_last + 1) * static_cast<int64_t>(unit_bytes);
    const NeedleIndex::Found found = env_.needles->For(needle).FindIn(
        env_.source, header_offset_ + static_cast<int64_t>(from),
        std::min(range_end, held_end + static_cast<int64_t>(needle.size()) - 1));
    if (found.unreadable_unit < 0) {
      if (found.occurrence < 0 ||
          found.occurrence + static_cast<int64_t>(needle.size()) > held_end) {
        return std::nullopt;
      }
      return static_cast<uint64_t>(found.occurrence - header_offset_);
    }
  }
  return FindBytes(held, from, needle);
}

CarverCall::Ahead CarverCall::FindAhead(std::string_view needle, std::span<const uint8_t> tail,
                                        uint64_t max_units, uint64_t from_units) {
  using Outcome = Ahead::Outcome;
  if (!started_ || ended_) return {Outcome::kRangeEnd, 0};
  NeedleIndexes* needles = env_.needles;
  if (needles == nullptr) {
    if (!own_needles_) own_needles_ = std::make_unique<NeedleIndexes>();
    needles = own_needles_.get();
  }
  NeedleIndex& index = needles->For(needle);
  const int64_t unit_bytes = env_.bytes_per_sector;
  const size_t length = needle.size();
  // The last bytes of the stream so far, joined with each next run's first
  // ones for the occurrences that cross from one to the other. They come
  // from the edges kept of units crossed before, else from the read windows
  // when they hold them, else past them, which the candidates below keep
  // using.
  std::vector<uint8_t>& seam = needles->SearchSeam();
  seam.assign(tail.begin(), tail.end());
  UnitEdges& edges = needles->Edges();
  const auto unit_size = static_cast<uint32_t>(unit_bytes);
  uint64_t taken = 0;
  int64_t cursor = read_position_ / unit_bytes;
  if (from_units > 0) {
    cursor = UnitAhead(from_units);
    if (cursor < 0) return {Outcome::kRangeEnd, from_units};
    taken = from_units;
  }
  // What this search finds from its first unit on, past the tail, is kept
  // for the next search that reaches that unit while nothing from it to the
  // last unit searched changed: a disk of candidates searching for a pattern
  // that never comes crosses each claimed stretch once, not once for each.
  using Memo = NeedleIndex::StreamSearch;
  Memo found_here;
  found_here.range_last = env_.range_last;
  found_here.kept_stamp = env_.map.KeptCount();
  const uint64_t taken_before = taken;
  auto keep = [&](Outcome outcome, uint64_t units, int64_t last_unit) {
    // Another call's claims may still go, so only a call on its own keeps
    // what it found.
    if (found_here.from_unit >= 0 && outcome != Outcome::kShortRead && env_.calls_claiming == 1) {
      found_here.end = outcome;
      found_here.units = units - taken_before;
      found_here.last_unit = last_unit;
      index.recent_searches[index.next_search_slot] = found_here;
      index.next_search_slot = (index.next_search_slot + 1) % index.recent_searches.size();
    }
  };
  auto finish = [&](Outcome outcome, uint64_t units, int64_t last_unit) -> Ahead {
    keep(outcome, units, last_unit);
    return {outcome, units};
  };
  // Kept searches are tried once each, the nearest first, as the walk
  // reaches them; `memo` is a copy, as finishing overwrites one.
  uint32_t memos_passed = 0;
  Memo memo;
  int64_t previous_last = -1;
  while (taken < max_units) {
    const int64_t first = env_.map.NextUnclaimed(cursor, env_.range_last);
    if (first > env_.range_last) return finish(Outcome::kRangeEnd, taken, env_.range_last);
    if (found_here.from_unit < 0) found_here.from_unit = first;
    // The map is looked at no further than the units still wanted.
    const uint64_t wanted = max_units - taken;
    const int64_t look_to = wanted > static_cast<uint64_t>(env_.range_last - first)
                                ? env_.range_last
                                : first + static_cast<int64_t>(wanted) - 1;
    const int64_t last = env_.map.NextClaimed(first, look_to) - 1;
    const std::optional<bool> across =
        LiesAcrossJoin(seam, previous_last, first, edges, env_.source, unit_size, needle);
    if (!across) return {Outcome::kShortRead, taken};
    if (*across) {
      // Found in the tail the caller gave: nothing to keep for others.
      if (previous_last < 0) return {Outcome::kFound, taken + 1};
      return finish(Outcome::kFound, taken + 1, first);
    }
    // A kept search's result applies from its first unit on when this
    // stretch reaches that unit; only the bytes before it are searched here.
    int64_t search_to = last;
    bool memo_applies = false;
    for (size_t slot = 0; slot < index.recent_searches.size(); ++slot) {
      Memo& kept = index.recent_searches[slot];
      if ((memos_passed >> slot & 1) != 0 || kept.from_unit < first || kept.from_unit > last) {
        continue;
      }
      memos_passed |= 1u << slot;
      if (kept.range_last != env_.range_last ||
          !BringUpToDate(kept, needle, edges, needles->UpdateSeam())) {
        kept.from_unit = -1;
        continue;
      }
      if (!memo_applies || kept.from_unit < memo.from_unit) memo = kept;
      memo_applies = true;
    }
    if (memo_applies) search_to = memo.from_unit - 1;
    const NeedleIndex::Found found =
        search_to < first
            ? NeedleIndex::Found{}
            : index.FindIn(env_.source, first * unit_bytes,
                           memo_applies
                               ? memo.from_unit * unit_bytes + static_cast<int64_t>(length) - 1
                               : (last + 1) * unit_bytes);
    const bool before_bad =
        found.unreadable_unit < 0 ||
        found.occurrence + static_cast<int64_t>(length) <= found.unreadable_unit * unit_bytes;
    if (found.occurrence >= 0 && before_bad) {
      const int64_t end_unit = (found.occurrence + static_cast<int64_t>(length) - 1) / unit_bytes;
      return finish(Outcome::kFound, taken + static_cast<uint64_t>(end_unit - first) + 1, end_unit);
    }
    if (found.unreadable_unit >= 0) {
      return {Outcome::kShortRead, taken + static_cast<uint64_t>(found.unreadable_unit - first)};
    }
    if (memo_applies) {
      const uint64_t through = taken + static_cast<uint64_t>(memo.from_unit - first) + memo.units;
      // Where this search's own limit comes first it is not known which unit
      // that is; what the stream holds from this search's first unit on is
      // still known, and kept, so the next search goes no further than here.
      const bool found_in_reach = memo.end == Outcome::kFound && through <= max_units;
      if (!found_in_reach && through >= max_units) {
        keep(memo.end, through, memo.last_unit);
        return {Outcome::kLimit, max_units};
      }
      if (memo.end != Outcome::kLimit) return finish(memo.end, through, memo.last_unit);
      // The last search stopped at its own limit: this one goes on from there.
      taken = through;
      previous_last = memo.last_unit;
      cursor = memo.last_unit + 1;
      continue;
    }
    taken += static_cast<uint64_t>(last - first + 1);
    previous_last = last;
    cursor = last + 1;
  }
  return finish(Outcome::kLimit, taken, previous_last);
}

bool CarverCall::BringUpToDate(NeedleIndex::StreamSearch& search, std::string_view needle,
                               UnitEdges& edges, std::vector<uint8_t>& seam) const {
  // Only this call's claims are transient now, and they lie before its read
  // position; the claims that outlive their calls are only ever added.
  if (env_.calls_claiming != 1) return false;
  const ClaimedSectorMap& map = env_.map;
  const uint64_t now = map.KeptCount();
  const int64_t from = search.from_unit;
  const int64_t last = search.last_unit;
  auto touching = [&](uint64_t kept) -> std::optional<std::pair<int64_t, int64_t>> {
    const auto run = map.KeptRun(kept);
    if (run && run->first <= last && run->second >= from) return run;
    return std::nullopt;
  };
  const uint64_t since = search.kept_stamp;
  uint64_t lost = 0;
  for (uint64_t kept = since; kept < now; ++kept) {
    if (!map.KeptRun(kept)) return false;
    if (const auto run = touching(kept)) {
      lost += static_cast<uint64_t>(std::min(run->second, last) - std::max(run->first, from) + 1);
    }
  }
  search.kept_stamp = now;
  if (lost == 0) return true;
  // Claims kept since took units out of the search. Where there was nothing
  // to find, there is still nothing but across the seams they made, and the
  // search covered that many units fewer; a found occurrence may have gone.
  if (search.end == NeedleIndex::StreamSearch::End::kFound || lost > search.units ||
      map.IsClaimed(from) || map.IsClaimed(last)) {
    return false;
  }
  const auto unit_bytes = static_cast<uint32_t>(env_.bytes_per_sector);
  seam.clear();
  for (uint64_t kept = since; kept < now; ++kept) {
    const auto run = touching(kept);
    if (!run) continue;
    const int64_t before = map.PreviousUnclaimed(run->first - 1, from);
    const int64_t after = map.NextUnclaimed(run->second + 1, last);
    if (before < from || after > last) return false;
    const std::optional<bool> across =
        LiesAcrossJoin(seam, before, after, edges, env_.source, unit_bytes, needle);
    if (!across || *across) return false;
  }
  search.units -= lost;
  return true;
}

void CarverCall::NoteSkipped(uint64_t units) {
  const uint64_t unit_bytes = env_.bytes_per_sector;
  if (held_ % unit_bytes != 0) {
    unit_mapping_lost_ = true;
    return;
  }
  const uint64_t buffer_unit = held_ / unit_bytes + dropped_units_;
  const uint64_t before = skip_marks_->empty() ? 0 : skip_marks_->back().skipped;
  if (!skip_marks_->empty() && skip_marks_->back().buffer_unit == buffer_unit) {
    skip_marks_->back().skipped += units;
  } else {
    skip_marks_->push_back({buffer_unit, before + units});
  }
}

int64_t CarverCall::SourceUnitOfBufferUnit(uint64_t buffer_unit) {
  if (unit_mapping_lost_) return -1;
  const uint64_t absolute = buffer_unit + dropped_units_;
  const auto mark =
      std::upper_bound(skip_marks_->begin(), skip_marks_->end(), absolute,
                       [](uint64_t unit, const SkipMark& skip) { return unit < skip.buffer_unit; });
  const uint64_t claim = absolute + (mark == skip_marks_->begin() ? 0 : std::prev(mark)->skipped);
  if (claim < kept_units_ || claim - kept_units_ >= claimed_units_) return -1;
  const uint64_t index = claim - kept_units_;
  // Walks move forward, so the run found last is where to look first.
  if (run_cursor_ >= claims_->size() || index < units_before_cursor_) {
    run_cursor_ = 0;
    units_before_cursor_ = 0;
  }
  while (run_cursor_ < claims_->size()) {
    const UnitRun& run = (*claims_)[run_cursor_];
    if (index < units_before_cursor_ + static_cast<uint64_t>(run.count)) {
      return run.first + static_cast<int64_t>(index - units_before_cursor_);
    }
    units_before_cursor_ += static_cast<uint64_t>(run.count);
    ++run_cursor_;
  }
  return -1;
}

bool CarverCall::ChainFailsAt(uint64_t position) {
  const uint64_t unit_bytes = env_.bytes_per_sector;
  if (env_.failed_chains == nullptr || position >= held_) return false;
  const int64_t unit = SourceUnitOfBufferUnit(position / unit_bytes);
  if (unit < 0) return false;
  const int64_t offset =
      unit * static_cast<int64_t>(unit_bytes) + static_cast<int64_t>(position % unit_bytes);
  if (env_.failed_chains->Holds(env_.carving_kind, offset)) return true;
  if (chain_records_->size() < kMaxChainRecords) chain_records_->push_back(offset);
  return false;
}

void CarverCall::FailChain() {
  if (env_.failed_chains != nullptr) {
    env_.failed_chains->RememberChain(env_.carving_kind, *chain_records_);
  }
  Fail();
}

void CarverCall::ForgetChainsIfClaimsSkipUnclaimed() {
  if (env_.failed_chains == nullptr) return;
  int64_t previous = last_kept_unit_;
  for (const UnitRun& run : *claims_) {
    if (previous >= 0 && run.first != previous + 1 &&
        (run.first < previous || env_.map.NextUnclaimed(previous + 1, run.first - 1) < run.first)) {
      env_.failed_chains->Forget();
      return;
    }
    previous = run.last();
  }
}

int64_t CarverCall::UnitAhead(uint64_t index) {
  int64_t unit = read_position_ / env_.bytes_per_sector;
  const uint64_t asked = index;
  // Walks that look ever further ahead (peeks, range checks) continue from
  // the last answer instead of crossing the same claimed stretches again.
  const bool continues = ahead_memo_.unit >= 0 && ahead_memo_.read_position == read_position_ &&
                         ahead_memo_.map_changes == env_.map.Changes() &&
                         ahead_memo_.index <= index;
  if (continues) {
    unit = ahead_memo_.unit;
    index -= ahead_memo_.index;
  }
  auto remember = [&](int64_t found) {
    if (found >= 0) ahead_memo_ = {read_position_, env_.map.Changes(), asked, found};
    return found;
  };
  const int64_t found = env_.map.NthUnclaimed(unit, index, env_.range_last);
  return found > env_.range_last ? -1 : remember(found);
}

bool CarverCall::PeekAt(uint64_t position, std::span<uint8_t> out) {
  if (!started_ || ended_ || unit_mapping_lost_ || !skip_marks_->empty() || dropped_units_ > 0) {
    return false;
  }
  const uint64_t unit_bytes = env_.bytes_per_sector;
  size_t done = 0;
  while (done < out.size()) {
    const uint64_t at = position + done;
    const size_t count =
        static_cast<size_t>(std::min<uint64_t>(out.size() - done, unit_bytes - at % unit_bytes));
    if (at + count <= held_) {
      std::memcpy(out.data() + done, buffer_->data() + at, count);
    } else {
      // Held bytes are whole units, so a piece past them starts a unit past them.
      if (held_ % unit_bytes != 0 || at < held_) return false;
      const int64_t unit = UnitAhead((at - held_) / unit_bytes);
      if (unit < 0) return false;
      if (unit != peeked_unit_) {
        peeked_.resize(static_cast<size_t>(unit_bytes));
        peeked_unit_ = -1;
        // From a read window when one holds it, else by itself.
        if (!env_.source.ReadDirect(unit * static_cast<int64_t>(unit_bytes), peeked_)) {
          return false;
        }
        peeked_unit_ = unit;
      }
      std::memcpy(out.data() + done, peeked_.data() + at % unit_bytes, count);
    }
    done += count;
  }
  return true;
}

bool CarverCall::ReleaseHeldUnits(std::span<const std::pair<uint64_t, uint64_t>> stretches) {
  const uint64_t unit_bytes = env_.bytes_per_sector;
  if (unit_mapping_lost_ || !skip_marks_->empty() || dropped_units_ > 0 || kept_units_ > 0 ||
      held_ % unit_bytes != 0 || held_ / unit_bytes != claimed_units_) {
    return false;
  }
  uint64_t previous_end = 0;
  for (const auto& [first, end] : stretches) {
    if (first < previous_end || end < first || end > claimed_units_) return false;
    previous_end = end;
  }
  std::vector<UnitRun> kept;
  uint64_t index = 0;
  size_t stretch = 0;
  for (const UnitRun& run : *claims_) {
    for (int64_t unit = run.first; unit <= run.last(); ++unit, ++index) {
      while (stretch < stretches.size() && index >= stretches[stretch].second) ++stretch;
      if (stretch < stretches.size() && index >= stretches[stretch].first) {
        env_.map.Release(unit);
        --claimed_units_;
      } else if (!kept.empty() && kept.back().last() + 1 == unit) {
        ++kept.back().count;
      } else {
        kept.push_back({unit, 1});
      }
    }
  }
  claims_->swap(kept);
  unit_mapping_lost_ = true;
  return true;
}

void CarverCall::TrimTo(uint64_t file_end) {
  const uint64_t unit_bytes = env_.bytes_per_sector;
  // Rounded up without the addition, which would wrap for an end taken from
  // a hostile size field and release the whole file.
  const uint64_t units = file_end / unit_bytes + (file_end % unit_bytes != 0 ? 1 : 0);
  while (claimed_units_ > units) {
    UnitRun& run = claims_->back();
    const int64_t dropped = static_cast<int64_t>(
        std::min<uint64_t>(claimed_units_ - units, static_cast<uint64_t>(run.count)));
    const int64_t first_dropped = run.first + run.count - dropped;
    env_.map.ReleaseRange(first_dropped, run.last());
    run.count -= dropped;
    claimed_units_ -= static_cast<uint64_t>(dropped);
    read_position_ = first_dropped * static_cast<int64_t>(unit_bytes);
    unit_mapping_lost_ = true;
    if (run.count == 0) claims_->pop_back();
  }
}

void CarverCall::Compact(uint64_t& buffer_position) {
  const uint64_t unit_bytes = env_.bytes_per_sector;
  if (buffer_position <= 60 * unit_bytes || buffer_position > held_) return;
  const uint64_t drop = buffer_position / unit_bytes * unit_bytes;
  std::memmove(buffer_->data(), buffer_->data() + drop, static_cast<size_t>(held_ - drop));
  held_ -= drop;
  buffer_position -= drop;
  dropped_units_ += drop / unit_bytes;
  ShowProgress();
}

void CarverCall::ShrinkHeld(uint64_t bytes) {
  if (bytes >= held_) return;
  held_ = bytes;
  unit_mapping_lost_ = true;
}

void CarverCall::DropHeld(uint64_t from, uint64_t to) {
  if (from >= to || to > held_) return;
  unit_mapping_lost_ = true;
  std::memmove(buffer_->data() + from, buffer_->data() + to, static_cast<size_t>(held_ - to));
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

void CarverCall::Complete() {
  if (ended_) return;
  ended_ = true;
  if (env_.claimed != nullptr) {
    env_.claimed->Add(env_.carving_kind, header_offset_ / env_.bytes_per_sector, ByteRuns(),
                      kept_runs_complete_);
  }
  KeepClaims();
  const int64_t unit_bytes = env_.bytes_per_sector;
  const int64_t per_cluster = env_.sectors_per_cluster;
  if (per_cluster > 1) {
    // The rest of the cluster the file ends in belongs to it too. The map
    // ignores units past its end, and the loop runs at most one cluster.
    const int64_t rest_from = read_position_ / unit_bytes;
    while ((read_position_ / unit_bytes - env_.state.cluster_origin) % per_cluster > 0) {
      read_position_ += unit_bytes;
    }
    env_.map.ClaimKept(rest_from, read_position_ / unit_bytes - 1);
  }
  held_ = 0;
  EndStorage();
  StopClaiming();
}

void CarverCall::Fail() {
  if (ended_ && claims_->empty()) return;
  ended_ = true;
  started_ = false;
  for (const UnitRun& run : *claims_) env_.map.ReleaseRange(run.first, run.last());
  claims_->clear();
  claimed_units_ = 0;
  held_ = 0;
  EndStorage();
  StopClaiming();
}

}  // namespace officecarve
