#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "demo/embedded_samples.h"
#include "testimage/image_builder.h"

namespace officecarve::demo {

// Where the demo put one sample document and what it should come back as.
struct PlacedDocument {
  std::string sample_name;
  std::span<const unsigned char> bytes;
  int64_t start_sector = 0;
  int fragments = 1;
  std::string expected_extension;  // ".DOC", ".ENC.XLSX", ...
  // Foreign files (pictures, archives...) lying between its fragments.
  std::vector<std::string> between;
};

struct DemoImage {
  testimage::ImageBuilder image;
  std::vector<PlacedDocument> documents;
  std::vector<std::string> foreign_files;
};

// Lays the samples on a FAT32-style volume with 4 KiB clusters: a boot
// sector, a root directory cluster, and each document at a cluster start,
// most of them split into fragments around the other samples (pictures,
// archives, media: the engine claims them, so the documents' runs step over
// them) and, once those run out, around directory clusters, with unrelated
// data between documents.
DemoImage BuildDemoImage(std::span<const EmbeddedFile> samples);

// The extension a recovered sample gets: its own in capitals, with ".ENC"
// before it for a zipped-XML document stored encrypted in a compound file.
std::string ExpectedExtension(const EmbeddedFile& sample);

// True for the samples the engine recovers as documents.
bool IsDocumentSample(const EmbeddedFile& sample);

}  // namespace officecarve::demo
