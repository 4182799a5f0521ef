#include "bench/bench_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "demo/embedded_samples.h"
#include "testimage/image_builder.h"

namespace officecarve::bench {
namespace {

constexpr uint64_t kChunkSectors = 32768;  // 16 MiB

bool IsDocument(std::string_view name) {
  for (const char* extension :
       {".doc", ".xls", ".ppt", ".docx", ".xlsx", ".pptx", ".odt", ".ods", ".odp"}) {
    if (name.ends_with(extension)) return true;
  }
  return false;
}

void FillText(testimage::ImageBuilder& chunk, int64_t first, int64_t last) {
  static constexpr char kLine[] = "The quarterly figures were reviewed and filed.\n";
  auto& bytes = chunk.MutableBytes();
  for (int64_t at = first * 512; at < (last + 1) * 512; ++at) {
    bytes[static_cast<size_t>(at)] = static_cast<uint8_t>(kLine[at % (sizeof kLine - 1)]);
  }
}

}  // namespace

BenchImageFacts WriteBenchImage(const std::string& path, uint64_t mebibytes, bool fat32,
                                uint64_t spacing_kib) {
  const uint64_t spacing_sectors = spacing_kib * 2;
  BenchImageFacts facts;
  const auto samples = demo::EmbeddedSamples();
  const uint64_t total_sectors = mebibytes * 2048;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  testimage::FatBootParams boot;
  boot.sectors_per_cluster = 8;
  boot.fat_size = 8192;
  boot.total_sectors = total_sectors;
  const uint64_t data_start = testimage::ImageBuilder::FatFirstDataSector(boot);
  size_t next_sample = 0;
  uint64_t next_file = 64;
  for (uint64_t chunk_first = 0; chunk_first < total_sectors; chunk_first += kChunkSectors) {
    const uint64_t count = std::min(kChunkSectors, total_sectors - chunk_first);
    testimage::ImageBuilder chunk(count);
    const uint64_t chunk_index = chunk_first / kChunkSectors;
    // Mostly noise; every fourth chunk is a quarter zeros and a quarter text.
    chunk.FillNoise(0, static_cast<int64_t>(count) - 1, static_cast<uint32_t>(chunk_index + 1));
    if (chunk_index % 4 == 3) {
      auto& bytes = chunk.MutableBytes();
      std::memset(bytes.data(), 0, bytes.size() / 4);
      FillText(chunk, static_cast<int64_t>(count / 4), static_cast<int64_t>(count / 2) - 1);
    }
    if (fat32 && chunk_first == 0) chunk.WriteFat32Boot(boot);
    while (next_file < chunk_first + count) {
      const auto& sample = samples[next_sample++ % samples.size()];
      uint64_t at = next_file;
      if (fat32 && at >= data_start) at += (8 - (at - data_start) % 8) % 8;
      const uint64_t sectors = (sample.bytes.size() + 511) / 512;
      if (at + sectors > chunk_first + count) break;  // not across a chunk edge
      chunk.Place(static_cast<int64_t>(at - chunk_first), sample.bytes);
      ++facts.files_placed;
      if (IsDocument(sample.name)) {
        facts.largest_document = std::max(facts.largest_document, sample.bytes.size());
      }
      next_file = at + sectors + spacing_sectors;
    }
    if (next_file < chunk_first + count) next_file = chunk_first + count + 64;
    out.write(reinterpret_cast<const char*>(chunk.Bytes().data()),
              static_cast<std::streamsize>(chunk.Bytes().size()));
  }
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
  return facts;
}

}  // namespace officecarve::bench
