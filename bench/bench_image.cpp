#include "bench/bench_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <span>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "demo/demo_image.h"
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

// Sentences of ordinary prose, so the text holds line breaks, spaces and
// punctuation as documents' text does.
void FillProse(std::span<uint8_t> bytes, uint64_t from) {
  static constexpr std::string_view kProse =
      "The committee met on Tuesday to review the budget for the coming year. Several members "
      "asked whether the figures for travel and training could be reduced, and the treasurer "
      "agreed to prepare a revised estimate.\nMinutes of the previous meeting were approved "
      "without change; the next meeting will be held in the library at half past six.\n";
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(kProse[(from + i) % kProse.size()]);
  }
}

uint64_t SectorsFor(size_t bytes) { return (bytes + 511) / 512; }

void WriteChunk(std::ofstream& out, std::span<const uint8_t> bytes) {
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Documents split after a few sectors around one foreign file and followed
// by another, back to back, until the region is full.
BenchImageFacts FillDenseRegion(testimage::ImageBuilder& region) {
  BenchImageFacts facts;
  std::vector<const demo::EmbeddedFile*> documents;
  std::vector<const demo::EmbeddedFile*> foreign;
  for (const demo::EmbeddedFile& sample : demo::EmbeddedSamples()) {
    (demo::IsDocumentSample(sample) ? documents : foreign).push_back(&sample);
  }
  const uint64_t total = region.SectorCount();
  region.FillNoise(0, static_cast<int64_t>(total) - 1, 3);
  uint64_t at = 0;
  for (size_t index = 0;; ++index) {
    const auto& document = documents[index % documents.size()]->bytes;
    const auto& inside = foreign[(2 * index) % foreign.size()]->bytes;
    const auto& after = foreign[(2 * index + 1) % foreign.size()]->bytes;
    const uint64_t first_units = 1 + index % 4;
    const uint64_t inside_units = SectorsFor(inside.size());
    const uint64_t end = at + SectorsFor(document.size()) + inside_units + SectorsFor(after.size());
    if (end > total) break;
    const auto gap_first = static_cast<int64_t>(at + first_units);
    const std::pair<int64_t, int64_t> gap{gap_first,
                                          gap_first + static_cast<int64_t>(inside_units) - 1};
    const std::vector<int64_t> used =
        region.PlaceFragmented(static_cast<int64_t>(at), document, std::span(&gap, 1));
    region.Place(gap_first, inside);
    region.Place(used.back() + 1, after);
    at = static_cast<uint64_t>(used.back()) + 1 + SectorsFor(after.size());
    facts.files_placed += 3;
    ++facts.documents_placed;
    facts.largest_document = std::max(facts.largest_document, document.size());
  }
  return facts;
}

}  // namespace

BenchImageFacts WriteRealisticImage(const std::string& path, uint64_t mebibytes,
                                    uint64_t dense_mebibytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  BenchImageFacts facts;
  {
    testimage::ImageBuilder dense(dense_mebibytes * 2048);
    facts = FillDenseRegion(dense);
    WriteChunk(out, dense.Bytes());
  }
  const uint64_t rest = (mebibytes - dense_mebibytes) << 20;
  std::vector<uint8_t> chunk(kChunkSectors * 512);
  for (uint64_t done = 0; done < rest; done += chunk.size()) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(chunk.size(), rest - done));
    const std::span<uint8_t> bytes(chunk.data(), count);
    const uint64_t third = done * 3 / rest;
    if (third == 0) {
      std::fill(bytes.begin(), bytes.end(), uint8_t{0});
    } else if (third == 1) {
      const std::vector<uint8_t> random =
          testimage::PseudoRandomBytes(count, static_cast<uint32_t>(done >> 20));
      std::copy(random.begin(), random.end(), bytes.begin());
    } else {
      FillProse(bytes, done);
    }
    WriteChunk(out, bytes);
  }
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
  return facts;
}

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
