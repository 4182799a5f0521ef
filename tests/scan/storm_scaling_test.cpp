// Storms (every block the header of a file that never ends) of each kind, at
// two sizes: doubling the image may at most double, with some slack, the
// bytes a whole scan reads. A carver whose failing walks re-read what the
// next candidate reads makes the count grow with the square of the image.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/carver_harness.h"
#include "scan/identify.h"
#include "testimage/storm.h"

namespace officecarve {
namespace {

using Clock = std::chrono::steady_clock;

// Well above what the read windows hold, so they do not serve the smaller
// image alone.
constexpr uint64_t kSmallBytes = 4 << 20;
// A storm whose headers reach a megabyte ahead is measured from a size where
// most of them still reach inside the image, or the end alone makes it grow.
constexpr uint64_t kFarReachingSmallBytes = 8 << 20;
constexpr double kMaxGrowth = 2.5;
// The search reads the image once; what the carvers read on top of it,
// however the storm's headers nest or chain, stays within two more reads.
constexpr double kMaxReadsOfTheImage = 3.0;
// Generous for CI; a quadratic kind at these sizes takes seconds, not minutes.
constexpr auto kBudget = std::chrono::seconds(30);

struct StormCase {
  std::string name;
  FileKind kind;  // every block's kind; None for the mixes
  std::function<std::vector<uint8_t>(uint64_t bytes)> build;
  uint64_t small_bytes = kSmallBytes;
};

// Shown for a case in test listings instead of its bytes.
void PrintTo(const StormCase& storm, std::ostream* out) { *out << storm.name; }

std::vector<StormCase> Cases() {
  std::vector<StormCase> cases;
  for (const uint32_t block : {4096u, 512u}) {
    const std::string suffix = block == 4096 ? "" : "-512";
    for (const testimage::StormKind& storm : testimage::StormKinds()) {
      const std::string name = std::string(storm.name) + suffix;
      cases.push_back(
          {name, storm.kind,
           [&storm, block](uint64_t n) { return testimage::StormImage(storm, n, block); },
           name.starts_with("png-long-chunks") ? kFarReachingSmallBytes : kSmallBytes});
    }
    cases.push_back({"mix" + suffix, FileKind::None,
                     [block](uint64_t n) { return testimage::MixedStormImage(n, block, false); }});
  }
  cases.push_back({"mix-reaching-image-end", FileKind::None,
                   [](uint64_t n) { return testimage::MixedStormImage(n, 4096, true); }});
  for (const testimage::TruncatedStorm& storm : testimage::TruncatedStorms()) {
    cases.push_back({std::string(storm.name), storm.kind, [&storm](uint64_t n) {
                       return testimage::TruncatedStormImage(
                           testing::SampleDocument(std::string(storm.sample)), n, 4096);
                     }});
  }
  return cases;
}

std::string TestName(const ::testing::TestParamInfo<StormCase>& info) {
  std::string name = info.param.name;
  for (char& c : name) {
    if (c == '-') c = '_';
  }
  return name;
}

struct ScanFigures {
  uint64_t bytes_read = 0;
  double seconds = 0;
  bool finished = false;
  uint64_t blocks_of_kind = 0;
};

class StormScaling : public testing::CarverHarness,
                     public ::testing::WithParamInterface<StormCase> {
 protected:
  ScanFigures Scan(uint64_t bytes, Clock::time_point deadline) {
    const std::vector<uint8_t> image = GetParam().build(bytes);
    Open(std::make_shared<const std::vector<uint8_t>>(image), 512);
    ClearFolder();
    frontend_.on_pump = [deadline](ScanState& state, int) {
      if (Clock::now() < deadline) return;
      state.search_cancelled = true;
      state.run_state = RunState::kStopped;
    };
    const auto start = Clock::now();
    const ScanReport report = ScanAll();
    ScanFigures figures;
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    figures.bytes_read = read_counters_->bytes_read;
    figures.finished = !report.stopped && !report.search_cancelled;
    figures.blocks_of_kind = report.found_by_kind[static_cast<uint8_t>(GetParam().kind)];
    return figures;
  }
};

TEST_P(StormScaling, WorkPerByteStaysFlatWhenTheImageDoubles) {
  const StormCase& storm = GetParam();
  const auto deadline = Clock::now() + kBudget;
  const uint64_t small_bytes = storm.small_bytes;
  const ScanFigures small = Scan(small_bytes, deadline);
  const ScanFigures large = Scan(2 * small_bytes, deadline);
  ASSERT_TRUE(small.finished && large.finished)
      << "did not finish within " << kBudget.count() << " s";

  const double growth =
      static_cast<double>(large.bytes_read) / static_cast<double>(small.bytes_read);
  std::printf(
      "storm %-28s read %7.2f and %7.2f bytes per image byte, growth %.2f; %.3f s, %.3f s\n",
      storm.name.c_str(), static_cast<double>(small.bytes_read) / small_bytes,
      static_cast<double>(large.bytes_read) / (2 * small_bytes), growth, small.seconds,
      large.seconds);
  EXPECT_LE(growth, kMaxGrowth);
  EXPECT_LE(static_cast<double>(large.bytes_read), kMaxReadsOfTheImage * 2 * small_bytes);
  if (storm.kind != FileKind::None) {
    // Every block reached the carver under test through the search.
    const uint64_t blocks = 2 * small_bytes / (storm.name.ends_with("-512") ? 512 : 4096);
    EXPECT_GE(large.blocks_of_kind, blocks);
  }
}

// The storms reach their carvers only through the search: every block's
// first sector must be identified as the storm's kind, the mix's in turn.
TEST(StormImages, EveryBlockStartsAHeaderOfItsKind) {
  constexpr uint64_t kBytes = 64 * 1024;
  const auto kinds = testimage::StormKinds();
  for (const uint32_t block : {4096u, 512u}) {
    const std::vector<uint8_t> mix = testimage::MixedStormImage(kBytes, block, false);
    for (size_t index = 0; index < kinds.size(); ++index) {
      const testimage::StormKind& storm = kinds[index];
      const std::vector<uint8_t> image = testimage::StormImage(storm, kBytes, block);
      for (uint64_t at = 0; at < kBytes; at += block) {
        EXPECT_EQ(Identify(std::span(image).subspan(at, 512)), storm.kind)
            << storm.name << " in blocks of " << block << " at " << at;
      }
      const uint64_t in_mix = index * block;
      if (in_mix < kBytes) {
        EXPECT_EQ(Identify(std::span(mix).subspan(in_mix, 512)), storm.kind)
            << storm.name << " in the mix of blocks of " << block;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Storms, StormScaling, ::testing::ValuesIn(Cases()), TestName);

}  // namespace
}  // namespace officecarve
