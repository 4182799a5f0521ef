// The ways a call looks ahead without taking what it looks at: the pattern
// search over the units still to come, peeks at far tables, and the records
// of chains known to fail. Each must see the stream ReadUntil would read
// (stepping over other files' units) and claim nothing.
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/find_bytes.h"
#include "scan/carver_frame.h"
#include "support/recording_frontend.h"
#include "testimage/memory_handle.h"

namespace officecarve {
namespace {

constexpr uint32_t kUnit = 512;
constexpr int64_t kSectors = 64;
using Outcome = CarverCall::Ahead::Outcome;

class CarverLookahead : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes_.assign(static_cast<size_t>(kSectors) * kUnit, 'a');
    for (int64_t sector = 0; sector < kSectors; ++sector)
      bytes_[sector * kUnit] = 'A' + sector % 26;
  }

  void Put(int64_t offset, std::string_view text) {
    std::memcpy(bytes_.data() + offset, text.data(), text.size());
  }

  void Open(int64_t range_last = kSectors - 1) {
    auto handle = std::make_unique<testimage::MemoryHandle>(bytes_);
    counters_ = handle->counters();
    unreadable_ = handle->unreadable();
    ASSERT_TRUE(source_.OpenHandle(std::move(handle), SourceType::kImage, "img", "img").ok);
    map_ = std::make_unique<ClaimedSectorMap>(kSectors - 1);
    env_ = std::make_unique<CarverEnv>(CarverEnv{source_, *map_, state_, frontend_, texts_});
    needles_ = std::make_unique<NeedleIndexes>();
    failed_chains_ = std::make_unique<FailedChains>();
    env_->needles = needles_.get();
    env_->failed_chains = failed_chains_.get();
    env_->carving_kind = FileKind::Zip;
    source_.SetRange({0, range_last});
    env_->range_last = range_last;
  }

  uint64_t ClaimedCount() const {
    uint64_t count = 0;
    for (int64_t sector = 0; sector < kSectors; ++sector) count += map_->IsClaimed(sector);
    return count;
  }

  std::vector<uint8_t> bytes_;
  SectorSource source_;
  ScanState state_;
  testing::RecordingFrontend frontend_{state_};
  UiTextTable texts_{TextVariant::SimplifiedChinese};
  std::unique_ptr<ClaimedSectorMap> map_;
  std::unique_ptr<CarverEnv> env_;
  std::unique_ptr<NeedleIndexes> needles_;
  std::unique_ptr<FailedChains> failed_chains_;
  std::shared_ptr<testimage::MemoryHandle::Counters> counters_;
  std::shared_ptr<std::set<int64_t>> unreadable_;
};

struct FindCase {
  const char* what;
  std::vector<std::pair<int64_t, std::string>> placed;  // byte offset, text
  std::vector<int64_t> claimed;                         // by other files
  std::string tail;
  uint64_t max_units;
  int64_t range_last;
  int64_t unreadable;
  Outcome outcome;
  uint64_t units;
  std::string_view needle = "END!";
};

TEST_F(CarverLookahead, FindAheadSearchesTheStreamReadUntilWouldRead) {
  // The call starts at sector 2, so unit 1 of the search is sector 3.
  const FindCase cases[] = {
      {"in the next unit",
       {{3 * kUnit + 100, "END!"}},
       {},
       "",
       60,
       kSectors - 1,
       -1,
       Outcome::kFound,
       1},
      {"the first of two",
       {{9 * kUnit, "END!"}, {5 * kUnit, "END!"}},
       {},
       "",
       60,
       kSectors - 1,
       -1,
       Outcome::kFound,
       3},
      {"in another file's unit it is not there",
       {{5 * kUnit, "END!"}},
       {5},
       "",
       60,
       20,
       -1,
       Outcome::kRangeEnd,
       17},
      {"across another file's units",
       {{5 * kUnit - 2, "EN"}, {8 * kUnit, "D!"}},
       {5, 6, 7},
       "",
       60,
       kSectors - 1,
       -1,
       Outcome::kFound,
       3},
      // Longer than the edges the seam cache keeps of each unit.
      {"a long pattern across another file's units",
       {{5 * kUnit - 9, "SEARCHED-"}, {7 * kUnit, "FOR-A-LONG-WAY"}},
       {5, 6},
       "",
       60,
       kSectors - 1,
       -1,
       Outcome::kFound,
       3,
       "SEARCHED-FOR-A-LONG-WAY"},
      {"continuing the tail",
       {{3 * kUnit, "D!"}},
       {},
       "EN",
       60,
       kSectors - 1,
       -1,
       Outcome::kFound,
       1},
      {"not past the units wanted",
       {{12 * kUnit, "END!"}},
       {},
       "",
       9,
       kSectors - 1,
       -1,
       Outcome::kLimit,
       9},
      {"stopped by an unreadable unit",
       {{12 * kUnit, "END!"}},
       {},
       "",
       60,
       kSectors - 1,
       7,
       Outcome::kShortRead,
       4},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    for (const auto& [offset, text] : c.placed) Put(offset, text);
    Open(c.range_last);
    if (c.unreadable >= 0) unreadable_->insert(c.unreadable);
    for (const int64_t sector : c.claimed) map_->Claim(sector);
    CarverCall call(*env_, 2 * kUnit);
    ASSERT_TRUE(call.Started());
    const std::span<const uint8_t> tail(reinterpret_cast<const uint8_t*>(c.tail.data()),
                                        c.tail.size());
    const CarverCall::Ahead ahead = call.FindAhead(c.needle, tail, c.max_units);
    EXPECT_EQ(ahead.outcome, c.outcome);
    EXPECT_EQ(ahead.units, c.units);
    EXPECT_EQ(call.ClaimedUnitCount(), 1u);
    EXPECT_EQ(ClaimedCount(), 1u + c.claimed.size());
  }
}

TEST_F(CarverLookahead, ASearchOverBytesAlreadySearchedReadsNothingAgain) {
  Put(60 * kUnit, "END!");
  Open();
  for (const int64_t header : {40, 30, 20, 10}) {
    CarverCall call(*env_, header * kUnit);
    const uint64_t reads_before = counters_->bytes_read;
    const CarverCall::Ahead ahead = call.FindAhead("END!", {}, 60);
    EXPECT_EQ(ahead.outcome, Outcome::kFound);
    EXPECT_EQ(ahead.units, static_cast<uint64_t>(60 - header));
    // Only the stretch below the last search's start is new.
    EXPECT_LE(counters_->bytes_read - reads_before, (header == 40 ? 24u : 12u) * kUnit);
    call.Fail();
  }
}

// Bytes above 0x7F, as end markers have, so they are compared as bytes.
constexpr std::string_view kPattern = "E\xD9\xFF!";

// The same layouts from run to run.
class Layouts {
 public:
  explicit Layouts(uint32_t seed) : state_(seed) {}
  uint32_t operator()(uint32_t below) {
    state_ = state_ * 1103515245u + 12345u;
    return (state_ >> 8) % below;
  }

 private:
  uint32_t state_;
};

// Candidates searching from last to first, with files kept in between,
// some inside stretches an earlier search went over: what a search keeps
// for the next must never change what that one finds.
TEST_F(CarverLookahead, SearchesReusingEarlierOnesFindWhatAFreshSearchFinds) {
  Layouts next(12345);
  for (int layout = 0; layout < 100; ++layout) {
    SCOPED_TRACE(layout);
    SetUp();
    for (int placed = 0; placed < 6; ++placed) {
      Put(static_cast<int64_t>(8 + next(56)) * kUnit - 2 + next(5), kPattern);
    }
    // Halves of the pattern a few units apart: they join only once the
    // units between them are claimed.
    std::vector<std::pair<int64_t, int64_t>> gaps;
    for (int placed = 0; placed < 4; ++placed) {
      const auto before = static_cast<int64_t>(8 + next(50));
      const auto after = before + 2 + static_cast<int64_t>(next(3));
      Put(before * kUnit + kUnit - 2, kPattern.substr(0, 2));
      Put(after * kUnit, kPattern.substr(2));
      gaps.emplace_back(before + 1, after - 1);
    }
    Open();
    for (int64_t header = kSectors - 2; header >= 0; header -= 1 + next(3)) {
      if (map_->IsClaimed(header)) continue;
      CarverCall call(*env_, header * kUnit);
      const auto tail = std::span(call.Bytes()).last(3);
      const uint64_t max_units = 4 + next(kSectors);
      const CarverCall::Ahead ahead = call.FindAhead(kPattern, tail, max_units);
      NeedleIndexes fresh;
      NeedleIndexes* shared = env_->needles;
      env_->needles = &fresh;
      const CarverCall::Ahead expected = call.FindAhead(kPattern, tail, max_units);
      env_->needles = shared;
      EXPECT_EQ(ahead.outcome, expected.outcome) << "header " << header;
      EXPECT_EQ(ahead.units, expected.units) << "header " << header;
      // Now and then the candidate is a file that keeps a few units, or a
      // file found some other way is kept anywhere.
      if (next(4) == 0) {
        auto [first, last] = gaps[next(static_cast<uint32_t>(gaps.size()))];
        if (next(2) == 0) {
          first = static_cast<int64_t>(next(kSectors));
          last = first + next(3);
        }
        map_->ClaimKept(first, last);
      }
      if (next(3) == 0) {
        call.ReadUntil((1 + next(12)) * kUnit);
        call.Complete();
      } else {
        call.Fail();
      }
    }
  }
}

// Searches of the held bytes, answered by the index the searches ahead
// share while the held bytes are the source's own: whatever the claims,
// skips, unreadable units and range, each finds what a search of the
// buffer finds.
TEST_F(CarverLookahead, HeldSearchesFindWhatASearchOfTheBufferFinds) {
  Layouts next(777);
  for (int layout = 0; layout < 60; ++layout) {
    SCOPED_TRACE(layout);
    SetUp();
    for (int placed = 0; placed < 8; ++placed) {
      Put(static_cast<int64_t>(1 + next(62)) * kUnit - 2 + next(5), kPattern);
    }
    Open(kSectors - 1 - static_cast<int64_t>(next(2) * next(20)));
    if (next(3) == 0) unreadable_->insert(static_cast<int64_t>(next(kSectors)));
    for (int other = 0; other < 3; ++other) map_->Claim(static_cast<int64_t>(next(kSectors)));
    for (int64_t header = kSectors - 2; header >= 0; header -= 1 + next(4)) {
      if (map_->IsClaimed(header)) continue;
      CarverCall call(*env_, header * kUnit);
      if (!call.Started()) continue;
      if (next(4) == 0) call.SkipClaimUnits(1 + next(2));
      call.ReadUntil((1 + next(20)) * kUnit);
      if (next(2) == 0) call.FindAhead(kPattern, std::span(call.Bytes()).last(3), 8);
      for (int look = 0; look < 3; ++look) {
        const uint64_t from = next(static_cast<uint32_t>(call.Held()) + 8);
        EXPECT_EQ(call.FindHeld(kPattern, from), FindBytes(call.Bytes(), from, kPattern))
            << "header " << header << " from " << from;
      }
      call.Fail();
    }
  }
}

TEST_F(CarverLookahead, PeeksFollowTheUnclaimedUnitsAndClaimNothing) {
  Open(20);
  map_->Claim(4);
  map_->Claim(5);
  map_->Claim(9);
  CarverCall call(*env_, 2 * kUnit);
  ASSERT_TRUE(call.ReadUntil(2 * kUnit));  // sectors 2 and 3
  EXPECT_EQ(call.UnitAhead(0), 6);
  EXPECT_EQ(call.UnitAhead(3), 10);
  EXPECT_EQ(call.UnitAhead(13), 20);
  EXPECT_EQ(call.UnitAhead(14), -1);
  // File bytes 2 * kUnit on are sector 6, then 7, 8 and 10.
  std::vector<uint8_t> peeked(kUnit + 2);
  ASSERT_TRUE(call.PeekAt(2 * kUnit - 1, peeked));
  EXPECT_EQ(peeked[0], 'a');
  EXPECT_EQ(peeked[1], 'A' + 6);
  EXPECT_EQ(peeked[kUnit + 1], 'A' + 7);
  ASSERT_TRUE(call.PeekAt(5 * kUnit, std::span(peeked).first(1)));
  EXPECT_EQ(peeked[0], 'A' + 10);
  EXPECT_FALSE(call.PeekAt(16 * kUnit, std::span(peeked).first(1)));
  EXPECT_EQ(call.ClaimedUnitCount(), 2u);
  EXPECT_EQ(ClaimedCount(), 5u);
}

TEST_F(CarverLookahead, AChainRunningIntoAFailedOneFailsThereAcrossSkipsAndOtherFiles) {
  Open();
  {
    // The later candidate: its chain passes a record at sector 12, byte 24.
    CarverCall later(*env_, 11 * kUnit);
    ASSERT_TRUE(later.ReadUntil(2 * kUnit));
    EXPECT_FALSE(later.ChainFailsAt(kUnit + 24));
    later.FailChain();
  }
  map_->Claim(5);
  CarverCall earlier(*env_, 3 * kUnit);
  ASSERT_TRUE(earlier.ReadUntil(2 * kUnit));  // sectors 3 and 4
  // A long record from buffer byte 100 steps over sectors 6 to 11 unread.
  uint64_t rest = 8 * kUnit - 100 + 24;
  ASSERT_EQ(earlier.SkipInsideRecord(100, rest), 6u);
  ASSERT_TRUE(earlier.ReadUntil(100 + rest + 8));
  EXPECT_FALSE(earlier.ChainFailsAt(100));
  EXPECT_FALSE(earlier.ChainFailsAt(100 + rest - 1));
  EXPECT_TRUE(earlier.ChainFailsAt(100 + rest));
  // Another kind's chain through the same record knows nothing of it.
  env_->carving_kind = FileKind::Png;
  EXPECT_FALSE(earlier.ChainFailsAt(100 + rest));
}

TEST_F(CarverLookahead, ClaimsAroundUnclaimedUnitsForgetFailedChains) {
  Open();
  {
    CarverCall failed(*env_, 20 * kUnit);
    ASSERT_TRUE(failed.ReadUntil(2 * kUnit));
    EXPECT_FALSE(failed.ChainFailsAt(kUnit));
    failed.FailChain();
  }
  ASSERT_TRUE(failed_chains_->Holds(FileKind::Zip, 21 * kUnit));
  {
    // A file in sectors 10 and 12 around an unclaimed 11 that no one took.
    CarverCall contiguous(*env_, 30 * kUnit);
    ASSERT_TRUE(contiguous.ReadUntil(2 * kUnit));
    contiguous.Complete();
  }
  EXPECT_TRUE(failed_chains_->Holds(FileKind::Zip, 21 * kUnit));
  map_->Claim(11);
  CarverCall around(*env_, 10 * kUnit);
  ASSERT_TRUE(around.ReadUntil(2 * kUnit));  // sectors 10 and 12
  map_->ReleaseRange(11, 11);
  around.Complete();
  EXPECT_FALSE(failed_chains_->Holds(FileKind::Zip, 21 * kUnit));
}

}  // namespace
}  // namespace officecarve
