#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "scan/file_kind.h"

namespace officecarve::testimage {

// Storm images: every block begins the header of a file that never ends (no
// end marker, sizes pointing far ahead, chains that never close), the worst
// case for a carver whose failing walk reads ahead. They measure whether a
// scan's work per byte stays flat as the image grows.

// Where one block of a storm lies, for the writers that size fields from it.
struct StormPlace {
  uint64_t offset = 0;  // of the block in the image
  uint32_t block_bytes = 4096;
  // Where sizes that run "to the end" end: the image's end, or the block's
  // own end in a mix whose declared sizes must not claim the image's rest.
  uint64_t reach_end = 0;
  // The image's end: where walks that read ahead are sent just beyond.
  uint64_t image_end = 0;
  bool last = false;  // the image's last block
};

// Writes the header of one block over filler the image already holds.
using StormBlockWriter = void (*)(std::span<uint8_t> block, const StormPlace& place);

struct StormKind {
  std::string_view name;
  FileKind kind;  // what identification reports for every block's first sector
  StormBlockWriter write;
};

// One storm per way each carver of the dispatch table can be kept busy.
std::span<const StormKind> StormKinds();

// A storm of truncated real files: every block is the first block of a
// sample from tests/data (which the demo also embeds), cut where it ends.
struct TruncatedStorm {
  std::string_view name;
  FileKind kind;
  std::string_view sample;
};
std::span<const TruncatedStorm> TruncatedStorms();

// Filler that starts no file, holds no end marker of any kind (no 0xFF, no
// line break, no "SECd", no 'P' or 'G') and no zero byte: lower-case letters.
void FillStormFiller(std::span<uint8_t> bytes, uint32_t seed);

// An image of `bytes` bytes (a whole number of blocks) of one storm.
std::vector<uint8_t> StormImage(const StormKind& storm, uint64_t bytes, uint32_t block_bytes);
// Blocks of every storm in turn. With `reach_image_end` false, declared sizes
// end with their own block, so the kinds that read ahead are not cut short
// by a declared-size file that claimed the rest of the image.
std::vector<uint8_t> MixedStormImage(uint64_t bytes, uint32_t block_bytes, bool reach_image_end);
// Every block the first `block_bytes` of `file` (the file must be longer).
std::vector<uint8_t> TruncatedStormImage(std::span<const uint8_t> file, uint64_t bytes,
                                         uint32_t block_bytes);

}  // namespace officecarve::testimage
