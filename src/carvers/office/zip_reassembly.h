#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace officecarve {

// A ZIP package whose fragments lie apart, with data no carver recognised
// between them, put back together from its own structure. The central
// directory (found after the break) lists every entry's offset in the
// package, its sizes and its CRC-32; each local header is looked for where
// the directory puts it, shifted by whole units, and where the shift grows
// between two of them the unit where the gap begins is the one at which
// that stretch's entries unpack to their listed CRC-32 and size. Nothing is
// accepted that those checks do not confirm.
struct ZipReassemblyLimits {
  // Fragments begin and end on multiples of this in the stream.
  uint64_t unit = 512;
  // Kept within what the caller may hold: the package and its gaps are in
  // memory at once.
  uint64_t max_gap_bytes = 16ull << 20;
  uint64_t max_total_gap_bytes = 32ull << 20;
  size_t max_fragments = 16;
};

// `length` bytes of the package lie at `stream_offset` of the stream.
struct StreamPiece {
  uint64_t stream_offset = 0;
  uint64_t length = 0;

  bool operator==(const StreamPiece&) const = default;
};

struct ZipReassembly {
  // In package order; together they are the whole package, from its first
  // local header to the end of its end record's comment.
  std::vector<StreamPiece> pieces;
  uint64_t length = 0;
  // The central directory's entry names, in its order.
  std::vector<std::string> names;
};

// `stream` starts with the package's first local header and holds, at
// `end_record`, an end-of-central-directory record with its comment; the
// bytes between are the package's fragments and the gaps among them.
// `work_left` is the bytes of checking the caller allows; it is charged as
// the search goes, and the search gives up when it runs out.
std::optional<ZipReassembly> ReassembleZipStream(std::span<const uint8_t> stream,
                                                 uint64_t end_record,
                                                 const ZipReassemblyLimits& limits,
                                                 uint64_t& work_left);

}  // namespace officecarve
