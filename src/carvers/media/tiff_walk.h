#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_set>

namespace officecarve {

class CarverCall;

enum class TiffByteOrder { kLittle, kBig };

// Follows every image file directory reachable from a TIFF-structured header,
// sub-directories included, and holds every byte any of them refers to: the
// held units are the file's extent. Buffer positions are file positions, as
// the walk only ever appends units after the header unit.
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

  TiffWalk(CarverCall& call, TiffByteOrder order) : call_(call), order_(order) {}

  // True when the whole walk from the directory at `first_directory` held
  // everything it met.
  bool Run(uint32_t first_directory) { return WalkChain(first_directory, 0); }

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

  // Makes the buffer hold the file up to `end`, refusing an end beyond the
  // limit before anything is read.
  bool Hold(uint64_t end);
  uint16_t Read16(uint64_t at) const;
  uint32_t Read32(uint64_t at) const;
  uint32_t ReadElement(const Elements& elements, uint32_t index) const;

  CarverCall& call_;
  TiffByteOrder order_;
  std::unordered_set<uint32_t> visited_;
  uint64_t entries_visited_ = 0;
  uint64_t segments_checked_ = 0;
};

}  // namespace officecarve
