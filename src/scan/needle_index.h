#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "scan/unit_edges.h"

namespace officecarve {

class SectorSource;

// Where a short byte pattern (an end marker, a keyword) lies on the source,
// learnt once per scan. A carver searching forward for it asks here instead
// of reading: the candidates below it would search the same bytes again and
// again (a disk of truncated pictures would cost candidates x bound), and
// what the disk holds does not change with what is claimed. Units that could
// not be read are remembered too, since a search must stop at them.
class NeedleIndex {
 public:
  // Past these the index starts afresh: a disk full of the pattern costs a
  // new scan now and then, never unbounded memory.
  static constexpr size_t kMaxOccurrences = 1u << 18;
  static constexpr size_t kMaxStretches = 1u << 16;

  explicit NeedleIndex(std::string_view needle) : needle_(needle) {}

  struct Found {
    int64_t occurrence = -1;       // byte offset where the first one starts, or -1
    int64_t unreadable_unit = -1;  // the unit that stopped the search, or -1
  };
  // The first occurrence lying wholly inside the bytes [from, to), or the
  // first unit in them that cannot be read when it comes before any.
  Found FindIn(SectorSource& source, int64_t from, int64_t to);

  std::string_view Needle() const { return needle_; }

  // What recent searches over the unclaimed units found from `from_unit` on
  // (unclaimed then): the first occurrence, wholly within those units, ends
  // in the `units`-th of them, `last_unit`; or there is none through them,
  // as far as a limit or the range end let it look. Holds while no claim
  // kept since the map's kept count stood at `kept_stamp` touches
  // from_unit..last_unit.
  struct StreamSearch {
    enum class End { kFound, kLimit, kRangeEnd, kShortRead };
    int64_t from_unit = -1;
    int64_t last_unit = -1;
    int64_t range_last = -1;
    uint64_t units = 0;
    uint64_t kept_stamp = 0;
    End end = End::kLimit;
  };
  std::array<StreamSearch, 4> recent_searches;
  size_t next_search_slot = 0;

 private:
  // Scans the starts [from, end) (reading the bytes up to end + length - 1)
  // and learns them, up to the first occurrence or unreadable unit.
  Found Scan(SectorSource& source, int64_t from, int64_t end);
  void Learn(int64_t from, int64_t end);
  bool KnownUnreadableIn(int64_t first_byte, int64_t end_byte, int64_t unit_bytes,
                         int64_t& unit) const;

  std::string needle_;
  // Learnt stretches of starts [first, end): every occurrence starting in one
  // is in occurrences_. None of them covers an unreadable unit.
  std::map<int64_t, int64_t> learnt_;
  std::set<int64_t> occurrences_;
  std::set<int64_t> unreadable_units_;
  std::vector<uint8_t> chunk_;
};

// The needle indexes of one scan, one per pattern the carvers search for.
class NeedleIndexes {
 public:
  NeedleIndex& For(std::string_view needle);
  UnitEdges& Edges() { return edges_; }
  // Room for the bytes either side of a join, kept so that joining costs no
  // allocation: one for the search under way, one for bringing a kept
  // search up to date in the middle of it.
  std::vector<uint8_t>& SearchSeam() { return search_seam_; }
  std::vector<uint8_t>& UpdateSeam() { return update_seam_; }

 private:
  std::map<std::string, NeedleIndex, std::less<>> indexes_;
  UnitEdges edges_;
  std::vector<uint8_t> search_seam_;
  std::vector<uint8_t> update_seam_;
};

}  // namespace officecarve
