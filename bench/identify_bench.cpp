// Identify runs for every sector of a scan: its cost per sector on the kinds
// of sector a disk is made of.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "demo/embedded_samples.h"
#include "scan/identify.h"
#include "testimage/image_builder.h"

namespace {

using officecarve::Identify;

constexpr size_t kSector = 512;

// Runs Identify over the sectors of `bytes` in turn.
void IdentifyEach(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  size_t at = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Identify(std::span<const uint8_t>(bytes.data() + at, kSector)));
    at = (at + kSector) % bytes.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSector));
}

void BM_IdentifyNoise(benchmark::State& state) {
  IdentifyEach(state, officecarve::testimage::PseudoRandomBytes(512 * 1024, 3));
}
BENCHMARK(BM_IdentifyNoise);

void BM_IdentifyZeros(benchmark::State& state) {
  IdentifyEach(state, std::vector<uint8_t>(kSector, 0));
}
BENCHMARK(BM_IdentifyZeros);

void BM_IdentifyText(benchmark::State& state) {
  constexpr std::string_view kLine =
      "Minutes of the meeting held on 4 March; all members present.\r\n";
  std::vector<uint8_t> bytes(64 * kSector);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(kLine[i % kLine.size()]);
  IdentifyEach(state, bytes);
}
BENCHMARK(BM_IdentifyText);

// The first sector of every demo sample (documents, pictures, media and
// archives), plus MPEG pack and transport-stream sectors: each one a hit.
void BM_IdentifyHeaders(benchmark::State& state) {
  std::vector<uint8_t> bytes;
  auto add = [&](std::span<const uint8_t> start) {
    const size_t at = bytes.size();
    bytes.resize(at + kSector, 0);
    std::copy_n(start.begin(), std::min(start.size(), kSector),
                bytes.begin() + static_cast<std::ptrdiff_t>(at));
  };
  for (const auto& sample : officecarve::demo::EmbeddedSamples()) add(sample.bytes);
  const std::vector<uint8_t> pack = {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01};
  add(pack);
  std::vector<uint8_t> transport(kSector, 0x11);
  for (size_t packet = 0; packet * 188 < kSector; ++packet) transport[packet * 188] = 0x47;
  add(transport);
  IdentifyEach(state, bytes);
}
BENCHMARK(BM_IdentifyHeaders);

}  // namespace
