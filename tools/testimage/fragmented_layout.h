#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "testimage/image_builder.h"

namespace officecarve::testimage {

// A real file to lay on an image: its name and its bytes.
struct SampleFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

// Where a layout goes: a cluster grid and the stretch of the image it may use.
struct FragmentedLayout {
  int64_t first_cluster_sector = 0;  // a cluster start; the first document goes here
  int64_t last_sector = 0;           // nothing is laid past this sector
  uint32_t sectors_per_cluster = 8;
};

struct LaidDocument {
  const SampleFile* sample = nullptr;
  int64_t start_sector = 0;
  int fragments = 1;
};

// Lays the documents one after the other at cluster starts, as a file
// system that has been filled and emptied leaves them: most of them in two
// or three fragments, each gap holding a foreign file (the next one in turn,
// whole, on its own clusters), and one cluster of filler after each
// document, pseudo-random bytes and zeros in turn. Stops before a document
// that would not fit; returns the documents laid.
std::vector<LaidDocument> LayFragmented(ImageBuilder& image, const FragmentedLayout& layout,
                                        std::span<const SampleFile> documents,
                                        std::span<const SampleFile> foreign);

// Reads the named files of a folder.
std::vector<SampleFile> ReadSamples(const std::string& folder, std::span<const std::string> names);

}  // namespace officecarve::testimage
