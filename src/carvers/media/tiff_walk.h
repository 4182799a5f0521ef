#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_set>
#include <vector>

namespace officecarve {

class CarverCall;

enum class TiffByteOrder { kLittle, kBig };

// Follows every image file directory reachable from a TIFF-structured header,
// sub-directories included, and holds every byte any of them refers to: the
// held units are the file's extent. Buffer positions are file positions, as
// the walk only ever appends units after the header unit. Directories and
// tables are peeked at and the extent is taken once the walk has held, so a
// walk that fails far ahead reads only what it looked at.
class TiffWalk {
 public:
  // No referenced item may end beyond this file offset.
  static constexpr uint64_t kMaxFileBytes = 200ull << 20;
  // Guards against hostile files: nested sub-directories, directories in all
  // (chain links included), directory entries and strip/free/tile segments
  // visited in one walk. Real files stay far below each of them.
  static constexpr int kMaxSubDirectoryDepth = 8;
  static constexpr uint32_t kMaxDirectories = 16384;
  static constexpr uint64_t kMaxEntries = 1u << 20;
  static constexpr uint64_t kMaxSegments = 1u << 24;
  // Writers list a directory's tags in ascending order; a directory longer
  // than any real one must, or it is taken for bytes that only look like a
  // count, and is not read through.
  static constexpr uint32_t kMaxUnsortedEntries = 1024;

  TiffWalk(CarverCall& call, TiffByteOrder order) : call_(call), order_(order) {}

  // True when the whole walk from the directory at `first_directory` held
  // everything it met.
  bool Run(uint32_t first_directory);

 private:
  // Where the elements of an offsets or byte-counts entry lie.
  struct Elements {
    uint32_t count = 0;
    uint32_t element_size = 0;
    uint64_t at = 0;
  };
  enum class RecordState { kAbsent, kRecorded, kUnknown };
  struct OffsetsRecord {
    RecordState state = RecordState::kAbsent;
    Elements elements;
  };
  // What one chain of next-directory links carries from entry to entry; a
  // sub-directory starts its own.
  struct ChainState {
    OffsetsRecord strips;
    OffsetsRecord free_areas;
    OffsetsRecord tiles;
    // The offsets named by the first tag of each offset/length pair.
    std::array<std::optional<uint32_t>, 3> pair_offsets;
  };
  struct Entry {
    uint64_t at = 0;
    uint16_t tag = 0;
    uint32_t count = 0;
    uint32_t value = 0;
    uint32_t element_size = 0;
    uint64_t size = 0;
  };

  bool WalkChain(uint32_t directory, int depth);
  bool VisitEntry(const Entry& entry, ChainState& state, int depth);
  bool WalkSubDirectories(const Entry& entry, int depth);
  bool CheckSegments(const OffsetsRecord& offsets, const Entry& counts);
  static Elements ElementsOf(const Entry& entry);
  static void Record(OffsetsRecord& record, const Entry& entry);

  // Whether the file can extend to `end`: within the limit and the scan range.
  // The units up to the farthest such end are held when the walk is done.
  bool Reach(uint64_t end);
  uint8_t ByteAt(uint64_t at);
  uint16_t Read16(uint64_t at);
  uint32_t Read32(uint64_t at);
  uint32_t ReadElement(const Elements& elements, uint32_t index);

  CarverCall& call_;
  TiffByteOrder order_;
  // The end of the units the walk has reached so far.
  uint64_t reached_ = 0;
  // The units last peeked at, a directory's and a table's, by file offset.
  struct PeekedUnit {
    uint64_t start = UINT64_MAX;
    std::vector<uint8_t> bytes;
  };
  std::array<PeekedUnit, 2> peeked_;
  size_t next_peek_slot_ = 0;
  bool unreadable_ = false;
  std::unordered_set<uint32_t> visited_;
  uint64_t entries_visited_ = 0;
  uint64_t segments_checked_ = 0;
};

}  // namespace officecarve
