#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace officecarve::bench {

struct BenchImageFacts {
  size_t files_placed = 0;
  size_t documents_placed = 0;
  size_t largest_document = 0;
};

// Writes an image of `mebibytes` MiB chunk by chunk (so building it costs
// little memory): noise, zeros and text as filler, with the embedded sample
// files `spacing_kib` KiB apart. With `fat32`, sector 0 is a FAT32 boot sector
// of 4 KiB clusters and every file starts on a cluster.
BenchImageFacts WriteBenchImage(const std::string& path, uint64_t mebibytes, bool fat32,
                                uint64_t spacing_kib);

// Writes the realistic image of `mebibytes` MiB of 512-byte sectors and no
// file system: first `dense_mebibytes` MiB of the embedded documents, each
// split around a picture, medium or archive and followed by another, with
// no space between; then zeros, random bytes and English-like text, a third
// of the rest each.
BenchImageFacts WriteRealisticImage(const std::string& path, uint64_t mebibytes,
                                    uint64_t dense_mebibytes);

}  // namespace officecarve::bench
