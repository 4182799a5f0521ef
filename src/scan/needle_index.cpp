#include "scan/needle_index.h"

#include <algorithm>
#include <cstring>

#include "core/find_bytes.h"
#include "source/sector_source.h"

namespace officecarve {
namespace {

constexpr int64_t kChunkBytes = 64 * 1024;

}  // namespace

NeedleIndex::Found NeedleIndex::FindIn(SectorSource& source, int64_t from, int64_t to) {
  const int64_t length = static_cast<int64_t>(needle_.size());
  // The last start whose occurrence still fits before `to`, plus one.
  const int64_t starts_end = to - length + 1;
  int64_t position = from;
  while (position < starts_end) {
    auto stretch = learnt_.upper_bound(position);
    const int64_t next_learnt = stretch == learnt_.end() ? INT64_MAX : stretch->first;
    if (stretch != learnt_.begin() && std::prev(stretch)->second > position) {
      const int64_t learnt_end = std::min(std::prev(stretch)->second, starts_end);
      const auto occurrence = occurrences_.lower_bound(position);
      if (occurrence != occurrences_.end() && *occurrence < learnt_end) return {*occurrence, -1};
      position = learnt_end;
      continue;
    }
    const Found found = Scan(source, position, std::min(next_learnt, starts_end));
    if (found.occurrence >= 0 || found.unreadable_unit >= 0) return found;
    position = std::min(next_learnt, starts_end);
  }
  return {};
}

bool NeedleIndex::KnownUnreadableIn(int64_t first_byte, int64_t end_byte, int64_t unit_bytes,
                                    int64_t& unit) const {
  const auto known = unreadable_units_.lower_bound(first_byte / unit_bytes);
  if (known == unreadable_units_.end() || *known * unit_bytes >= end_byte) return false;
  unit = *known;
  return true;
}

NeedleIndex::Found NeedleIndex::Scan(SectorSource& source, int64_t from, int64_t end) {
  const int64_t unit_bytes = source.Working().bytes_per_sector;
  const int64_t length = static_cast<int64_t>(needle_.size());
  chunk_.resize(static_cast<size_t>(kChunkBytes + length));
  int64_t start = from;
  while (start < end) {
    // Bytes [start, read_end) hold every start below chunk_end. Where a read
    // window holds them they are searched in place, up to its end.
    const std::span<const uint8_t> in_window = source.HeldAt(start);
    // Where a window ends closer than the needle's length, only the starts
    // left in it are taken, across the seam into the next: the rest is
    // searched in place there rather than copied out.
    int64_t chunk_end = std::min(end, start + kChunkBytes);
    const auto window_left = static_cast<int64_t>(in_window.size());
    if (window_left >= length) {
      chunk_end = std::min(chunk_end, start + window_left - length + 1);
    } else if (window_left > 0) {
      chunk_end = std::min(chunk_end, start + window_left);
    }
    const int64_t read_end = chunk_end + length - 1;
    int64_t unreadable = -1;
    if (KnownUnreadableIn(start, read_end, unit_bytes, unreadable)) {
      Learn(from, std::max(from, unreadable * unit_bytes - length + 1));
      return {-1, unreadable};
    }
    const auto count = static_cast<uint32_t>(read_end - start);
    const bool in_place = in_window.size() >= count;
    const std::span<const uint8_t> bytes =
        in_place ? in_window.first(count) : std::span<const uint8_t>(chunk_.data(), count);
    // Else straight from the source: the read window stays with the
    // candidates, and a search runs ahead of them.
    if (!in_place && !source.ReadDirect(start, std::span(chunk_.data(), count))) {
      // Somewhere in there a unit cannot be read: find which, whole unit by
      // whole unit as the carvers read them, and stop there.
      std::vector<uint8_t> unit_bytes_read(static_cast<size_t>(unit_bytes));
      for (int64_t unit = start / unit_bytes; unit * unit_bytes < read_end; ++unit) {
        if (!source.ReadSectorDirect(unit, unit_bytes_read.data())) {
          unreadable = unit;
          break;
        }
        const int64_t copy_from = std::max(unit * unit_bytes, start);
        const int64_t copy_to = std::min((unit + 1) * unit_bytes, read_end);
        std::memcpy(chunk_.data() + (copy_from - start),
                    unit_bytes_read.data() + (copy_from - unit * unit_bytes),
                    static_cast<size_t>(copy_to - copy_from));
      }
      if (unreadable >= 0) unreadable_units_.insert(unreadable);
    }
    const int64_t search_end =
        unreadable < 0 ? chunk_end : std::min(chunk_end, unreadable * unit_bytes - length + 1);
    if (search_end > start) {
      const auto held = bytes.first(static_cast<size_t>(search_end - start + length - 1));
      if (const auto hit = FindBytes(held, 0, needle_)) {
        const int64_t at = start + static_cast<int64_t>(*hit);
        Learn(from, at + 1);
        occurrences_.insert(at);
        return {at, -1};
      }
    }
    if (unreadable >= 0) {
      Learn(from, std::max(from, search_end));
      return {-1, unreadable};
    }
    start = chunk_end;
  }
  Learn(from, end);
  return {};
}

void NeedleIndex::Learn(int64_t from, int64_t end) {
  if (end <= from) return;
  if (occurrences_.size() >= kMaxOccurrences || learnt_.size() >= kMaxStretches) {
    learnt_.clear();
    occurrences_.clear();
  }
  // Join the stretches this one touches or overlaps. A search usually
  // extends the stretch just below or just above it: that stretch is
  // widened in place, so nothing is allocated.
  auto next = learnt_.lower_bound(from);
  auto joined = learnt_.end();
  if (next != learnt_.begin() && std::prev(next)->second >= from) joined = std::prev(next);
  while (next != learnt_.end() && next->first <= end) {
    end = std::max(end, next->second);
    if (joined == learnt_.end()) {
      joined = next++;
    } else {
      next = learnt_.erase(next);
    }
  }
  if (joined == learnt_.end()) {
    learnt_.emplace(from, end);
  } else if (joined->first <= from) {
    joined->second = std::max(joined->second, end);
  } else {
    // The stretch above now starts lower: its node is moved to the new key.
    auto node = learnt_.extract(joined);
    node.key() = from;
    node.mapped() = std::max(node.mapped(), end);
    learnt_.insert(std::move(node));
  }
}

NeedleIndex& NeedleIndexes::For(std::string_view needle) {
  auto index = indexes_.find(needle);
  if (index == indexes_.end()) {
    index = indexes_.emplace(std::string(needle), NeedleIndex(needle)).first;
  }
  return index->second;
}

}  // namespace officecarve
