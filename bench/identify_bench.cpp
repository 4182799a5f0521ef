// Identify runs for every sector of a scan: its cost per sector.
#include <benchmark/benchmark.h>

#include "scan/identify.h"
#include "testimage/image_builder.h"

namespace {

void BM_IdentifyNoise(benchmark::State& state) {
  const auto bytes = officecarve::testimage::PseudoRandomBytes(512 * 1024, 3);
  size_t at = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        officecarve::Identify(std::span<const uint8_t>(bytes.data() + at, 512)));
    at = (at + 512) % bytes.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 512);
}
BENCHMARK(BM_IdentifyNoise);

void BM_IdentifyZeros(benchmark::State& state) {
  const std::vector<uint8_t> zeros(512, 0);
  for (auto _ : state) benchmark::DoNotOptimize(officecarve::Identify(zeros));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 512);
}
BENCHMARK(BM_IdentifyZeros);

}  // namespace
