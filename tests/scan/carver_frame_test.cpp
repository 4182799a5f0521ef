#include "scan/carver_frame.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "support/recording_frontend.h"
#include "testimage/memory_handle.h"

namespace officecarve {
namespace {

constexpr uint32_t kUnit = 512;

std::vector<int64_t> Units(int64_t first, int64_t last) {
  std::vector<int64_t> units(static_cast<size_t>(last - first + 1));
  std::iota(units.begin(), units.end(), first);
  return units;
}

// A source over an image whose every sector starts with its own number, a
// map over it and an environment as the scan driver would set it up.
class CarverFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(64); }

  void Open(int64_t sector_count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(sector_count) * kUnit);
    for (int64_t sector = 0; sector < sector_count; ++sector) {
      uint8_t* at = bytes.data() + sector * kUnit;
      std::memset(at, static_cast<int>(sector * 7 + 1) & 0xFF, kUnit);
      std::memcpy(at, &sector, sizeof(sector));
    }
    auto handle = std::make_unique<testimage::MemoryHandle>(std::move(bytes));
    counters_ = handle->counters();
    unreadable_ = handle->unreadable();
    ASSERT_TRUE(source_.OpenHandle(std::move(handle), SourceType::kImage, "img", "img").ok);
    map_ = std::make_unique<ClaimedSectorMap>(sector_count - 1);
    env_ = std::make_unique<CarverEnv>(CarverEnv{source_, *map_, state_, frontend_, texts_});
    SetRangeLast(sector_count - 1);
  }

  void SetRangeLast(int64_t last) {
    source_.SetRange({0, last});
    env_->range_last = last;
  }

  void UseClusters(uint32_t sectors_per_cluster, int32_t origin) {
    env_->sectors_per_cluster = sectors_per_cluster;
    state_.cluster_origin = origin;
  }

  std::vector<int64_t> Claimed() const {
    std::vector<int64_t> claimed;
    for (int64_t sector = 0; sector <= map_->LastSector(); ++sector) {
      if (map_->IsClaimed(sector)) claimed.push_back(sector);
    }
    return claimed;
  }

  // The sector whose bytes the call holds as its unit `index`.
  static int64_t SectorHeldAt(const CarverCall& call, uint64_t index) {
    int64_t sector = -1;
    std::memcpy(&sector, call.Bytes().data() + index * kUnit, sizeof(sector));
    return sector;
  }

  std::vector<testing::RecordingFrontend::Event> RecoveryLabels() const {
    std::vector<testing::RecordingFrontend::Event> labels;
    for (const auto& event : frontend_.events) {
      if (event.what == "label" && event.window == 1) labels.push_back(event);
    }
    return labels;
  }

  SectorSource source_;
  ScanState state_;
  testing::RecordingFrontend frontend_{state_};
  UiTextTable texts_{TextVariant::SimplifiedChinese};
  std::unique_ptr<ClaimedSectorMap> map_;
  std::unique_ptr<CarverEnv> env_;
  std::shared_ptr<testimage::MemoryHandle::Counters> counters_;
  std::shared_ptr<std::set<int64_t>> unreadable_;
};

using CarverCallStart = CarverFrameTest;

TEST_F(CarverCallStart, ClaimsAndReadsTheHeaderUnit) {
  CarverCall call(*env_, 5 * kUnit);
  ASSERT_TRUE(call.Started());
  EXPECT_EQ(call.Held(), kUnit);
  EXPECT_EQ(SectorHeldAt(call, 0), 5);
  EXPECT_EQ(call.ReadPosition(), 6 * kUnit);
  EXPECT_EQ(call.ClaimList(), std::vector<int64_t>{5});
  EXPECT_EQ(Claimed(), std::vector<int64_t>{5});
}

TEST_F(CarverCallStart, AClaimedHeaderUnitIsNeitherReadNorClaimedAgain) {
  map_->Claim(5);
  const testimage::MemoryHandle::Counters before = *counters_;
  {
    CarverCall call(*env_, 5 * kUnit);
    EXPECT_FALSE(call.Started());
    EXPECT_FALSE(call.ReadUntil(2 * kUnit));
    EXPECT_FALSE(call.SkipClaim());
    call.Fail();
  }
  EXPECT_EQ(counters_->reads, before.reads);
  EXPECT_EQ(counters_->seeks, before.seeks);
  EXPECT_TRUE(frontend_.events.empty());
  EXPECT_EQ(Claimed(), std::vector<int64_t>{5});  // the other file keeps it
}

TEST_F(CarverCallStart, AnUnreadableHeaderFailsAndReleasesItsUnit) {
  Open(300);
  unreadable_->insert(10);
  CarverCall call(*env_, 10 * kUnit);
  EXPECT_FALSE(call.Started());
  EXPECT_TRUE(Claimed().empty());
}

using CarverCallReadUntil = CarverFrameTest;

TEST_F(CarverCallReadUntil, ContinuesInTheNextUnclaimedUnitPastOtherFiles) {
  map_->Claim(3);
  map_->Claim(4);
  CarverCall call(*env_, 2 * kUnit);
  ASSERT_TRUE(call.ReadUntil(3 * kUnit));
  EXPECT_EQ(call.Held(), 3 * kUnit);
  EXPECT_EQ(SectorHeldAt(call, 1), 5);
  EXPECT_EQ(SectorHeldAt(call, 2), 6);
  EXPECT_EQ(call.ClaimList(), (std::vector<int64_t>{2, 5, 6}));
  EXPECT_EQ(call.ReadPosition(), 7 * kUnit);
  // Asking for what is already held reads nothing more.
  ASSERT_TRUE(call.ReadUntil(2 * kUnit));
  EXPECT_EQ(call.Held(), 3 * kUnit);
}

TEST_F(CarverCallReadUntil, FailsAtTheEndOfTheScanRangeThoughTheVolumeGoesOn) {
  SetRangeLast(9);
  map_->Claim(9);
  {
    CarverCall call(*env_, 6 * kUnit);
    EXPECT_TRUE(call.ReadUntil(3 * kUnit));   // units 6, 7, 8
    EXPECT_FALSE(call.ReadUntil(4 * kUnit));  // 9 is taken, 10 lies outside the range
    EXPECT_EQ(call.ClaimList(), Units(6, 8));
    call.Fail();
  }
  EXPECT_EQ(Claimed(), std::vector<int64_t>{9});
}

TEST_F(CarverCallReadUntil, AFailedReadFailsTheFileAndLeavesTheMapAsBefore) {
  Open(300);
  map_->Claim(50);
  CarverCall call(*env_, 0);
  ASSERT_TRUE(call.Started());
  unreadable_->insert(130);
  EXPECT_FALSE(call.ReadUntil(140 * kUnit));
  // The unit whose read failed was claimed first, so the failure releases it too.
  EXPECT_TRUE(map_->IsClaimed(call.ClaimList().back()));
  call.Fail();
  EXPECT_EQ(Claimed(), std::vector<int64_t>{50});
}

TEST_F(CarverCallReadUntil, ShowsProgressOnceForAFileOfExactly200Units) {
  Open(256);
  frontend_.record_labels = true;
  CarverCall call(*env_, 7 * kUnit);
  ASSERT_TRUE(call.ReadUntil(199 * kUnit));
  EXPECT_TRUE(RecoveryLabels().empty());
  EXPECT_EQ(frontend_.pumps, 0);

  ASSERT_TRUE(call.ReadUntil(200 * kUnit));
  const auto labels = RecoveryLabels();
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(labels[0].label, 3);
  EXPECT_EQ(labels[0].text, "扇区: 7, 207");
  EXPECT_EQ(frontend_.pumps, 1);
  call.Complete();
  EXPECT_EQ(RecoveryLabels().size(), 1u);
}

// Reads of many units at once against unit-by-unit stepping: the units
// held, claimed and stepped over, where a read stops and why, and progress
// every 200 units, across other files' units, unreadable units and the
// range end.
TEST_F(CarverCallReadUntil, ReadsWhatStepsOfOneUnitWouldRead) {
  struct Case {
    const char* what;
    std::vector<int64_t> claimed;
    std::vector<int64_t> unreadable;
    int64_t range_last;
    std::vector<uint64_t> asked;  // units held after each call
  };
  const std::vector<Case> cases = {
      {"a long run, progress twice", {}, {}, 999, {450}},
      {"in steps across a progress point", {}, {}, 999, {150, 199, 260, 401}},
      {"around other files", {3, 4, 100, 101, 102, 199, 300}, {}, 999, {420}},
      {"an unreadable unit inside a run", {}, {70}, 999, {40, 100}},
      {"an unreadable unit just past another file", {20, 21, 22}, {23}, 999, {60}},
      {"the range ends inside a run", {30}, {}, 140, {100, 200}},
      {"the range ends in another file", {}, {}, 137, {138, 139}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    Open(1024);
    SetRangeLast(test.range_last);
    frontend_.record_labels = true;
    frontend_.events.clear();
    const std::set<int64_t> claimed(test.claimed.begin(), test.claimed.end());
    const std::set<int64_t> unreadable(test.unreadable.begin(), test.unreadable.end());
    for (const int64_t unit : claimed) map_->Claim(unit);
    unreadable_->insert(unreadable.begin(), unreadable.end());

    CarverCall call(*env_, 0);
    ASSERT_TRUE(call.Started());
    std::vector<int64_t> held = {0};
    std::vector<int64_t> claims = {0};
    int64_t position = 1;
    size_t reports = 0;
    for (const uint64_t asked : test.asked) {
      bool read = true;
      while (read && held.size() < asked) {
        while (position <= test.range_last && claimed.count(position) > 0) ++position;
        if (position > test.range_last) {
          read = false;
        } else {
          claims.push_back(position);
          if (unreadable.count(position) > 0) {
            read = false;
          } else {
            held.push_back(position++);
            reports += held.size() % 200 == 0;
          }
        }
      }
      ASSERT_EQ(call.ReadUntil(asked * kUnit), read) << asked;
      if (!read) break;
    }
    EXPECT_EQ(call.Held(), held.size() * kUnit);
    for (size_t index = 0; index < held.size(); ++index) {
      ASSERT_EQ(SectorHeldAt(call, index), held[index]) << index;
    }
    EXPECT_EQ(call.ClaimList(), claims);
    EXPECT_EQ(call.ReadPosition(), position * kUnit);
    EXPECT_EQ(RecoveryLabels().size(), reports);
    call.Fail();
    EXPECT_EQ(Claimed(), test.claimed);
  }
}

using CarverCallEndings = CarverFrameTest;

TEST_F(CarverCallEndings, CompletionClaimsTheRestOfTheClusterTheFileEndsIn) {
  UseClusters(8, 0);
  {
    CarverCall call(*env_, 10 * kUnit);
    ASSERT_TRUE(call.ReadUntil(8 * kUnit));  // last unit 17
    call.Complete();
  }
  EXPECT_EQ(Claimed(), Units(10, 23));
}

TEST_F(CarverCallEndings, CompletionFollowsTheClusterOrigin) {
  UseClusters(8, 3);
  {
    CarverCall call(*env_, 10 * kUnit);
    ASSERT_TRUE(call.ReadUntil(3 * kUnit));  // last unit 12; clusters start at 3, 11, 19
    call.Complete();
  }
  EXPECT_EQ(Claimed(), Units(10, 18));
}

TEST_F(CarverCallEndings, CompletionAtAClusterBoundaryClaimsNothingMore) {
  UseClusters(8, 0);
  {
    CarverCall call(*env_, 16 * kUnit);
    ASSERT_TRUE(call.ReadUntil(8 * kUnit));
    call.Complete();
  }
  EXPECT_EQ(Claimed(), Units(16, 23));
}

TEST_F(CarverCallEndings, CompletionWithOneSectorPerClusterClaimsNothingMore) {
  UseClusters(1, 0);
  {
    CarverCall call(*env_, 10 * kUnit);
    ASSERT_TRUE(call.ReadUntil(8 * kUnit));
    call.Complete();
  }
  EXPECT_EQ(Claimed(), Units(10, 17));
}

TEST_F(CarverCallEndings, CompletionNeverClaimsPastTheEndOfTheMap) {
  Open(20);
  UseClusters(8, 0);
  {
    CarverCall call(*env_, 10 * kUnit);
    ASSERT_TRUE(call.ReadUntil(8 * kUnit));
    call.Complete();
  }
  EXPECT_EQ(Claimed(), Units(10, 19));
}

TEST_F(CarverCallEndings, FailureReleasesEveryUnitItClaimedAndNoOther) {
  UseClusters(8, 0);
  map_->Claim(12);
  {
    CarverCall call(*env_, 10 * kUnit);
    ASSERT_TRUE(call.ReadUntil(4 * kUnit));
    ASSERT_TRUE(call.SkipClaim());
    EXPECT_EQ(call.ClaimList(), (std::vector<int64_t>{10, 11, 13, 14, 15}));
    call.Fail();
    EXPECT_EQ(call.Held(), 0u);
    EXPECT_FALSE(call.ReadUntil(5 * kUnit));
  }
  EXPECT_EQ(Claimed(), std::vector<int64_t>{12});
}

TEST_F(CarverCallEndings, LeavingScopeWithoutAnEndingReleasesEverything) {
  {
    CarverCall call(*env_, 2 * kUnit);
    ASSERT_TRUE(call.ReadUntil(3 * kUnit));
    EXPECT_EQ(Claimed(), Units(2, 4));
  }
  EXPECT_TRUE(Claimed().empty());
}

using CarverCallSkipClaim = CarverFrameTest;

TEST_F(CarverCallSkipClaim, ClaimsTheNextUnclaimedUnitsWithoutHoldingThem) {
  map_->Claim(4);
  CarverCall call(*env_, 2 * kUnit);
  ASSERT_TRUE(call.SkipClaim());
  ASSERT_TRUE(call.SkipClaim());
  EXPECT_EQ(call.ClaimList(), (std::vector<int64_t>{2, 3, 5}));
  EXPECT_EQ(call.ReadPosition(), 6 * kUnit);
  EXPECT_EQ(call.Held(), kUnit);
  // Reading goes on after the skipped units.
  ASSERT_TRUE(call.ReadUntil(2 * kUnit));
  EXPECT_EQ(SectorHeldAt(call, 1), 6);
}

TEST_F(CarverCallSkipClaim, FindsNoUnitPastTheScanRange) {
  SetRangeLast(4);
  map_->Claim(4);
  CarverCall call(*env_, 2 * kUnit);
  EXPECT_TRUE(call.SkipClaim());
  EXPECT_FALSE(call.SkipClaim());
  EXPECT_EQ(call.ClaimList(), (std::vector<int64_t>{2, 3}));
}

using CarverCallKeepClaims = CarverFrameTest;

TEST_F(CarverCallKeepClaims, KeptUnitsStayClaimedWhenTheCallFailsAfterwards) {
  {
    CarverCall call(*env_, 2 * kUnit);
    ASSERT_TRUE(call.SkipClaim());
    call.KeepClaims();
    EXPECT_TRUE(call.ClaimList().empty());
    ASSERT_TRUE(call.SkipClaim());
    call.Fail();
  }
  EXPECT_EQ(Claimed(), Units(2, 3));
}

using CarverCallTrimTo = CarverFrameTest;

TEST_F(CarverCallTrimTo, ReleasesUnitsPastTheEndAndCompletesFromTheFirstReleased) {
  UseClusters(8, 0);
  map_->Claim(11);
  {
    CarverCall call(*env_, 8 * kUnit);
    ASSERT_TRUE(call.ReadUntil(12 * kUnit));  // 8, 9, 10, 12 .. 20
    call.TrimTo(5 * kUnit + 1);               // six units
    EXPECT_EQ(call.ClaimList(), (std::vector<int64_t>{8, 9, 10, 12, 13, 14}));
    EXPECT_EQ(call.ReadPosition(), 15 * kUnit);
    call.Complete();
  }
  EXPECT_EQ(Claimed(), Units(8, 15));
}

TEST_F(CarverCallTrimTo, KeepsEveryClaimForAnEndBeyondThem) {
  CarverCall call(*env_, 8 * kUnit);
  ASSERT_TRUE(call.ReadUntil(3 * kUnit));
  call.TrimTo(3 * kUnit);
  call.TrimTo(std::numeric_limits<uint64_t>::max());  // a size field from a hostile disk
  EXPECT_EQ(call.ClaimList(), Units(8, 10));
  EXPECT_EQ(call.ReadPosition(), 11 * kUnit);
}

using CarverCallCompact = CarverFrameTest;

TEST_F(CarverCallCompact, DropsTheWholeUnitsBeforeThePositionPast60Units) {
  Open(256);
  frontend_.record_labels = true;
  CarverCall call(*env_, 0);
  ASSERT_TRUE(call.ReadUntil(100 * kUnit));

  uint64_t position = 60 * kUnit;
  call.Compact(position);
  EXPECT_EQ(position, 60 * kUnit);
  EXPECT_EQ(call.Held(), 100 * kUnit);
  EXPECT_TRUE(RecoveryLabels().empty());

  position = 61 * kUnit + 7;
  call.Compact(position);
  EXPECT_EQ(position, 7u);
  EXPECT_EQ(call.Held(), 39 * kUnit);
  EXPECT_EQ(SectorHeldAt(call, 0), 61);
  EXPECT_EQ(SectorHeldAt(call, 38), 99);
  ASSERT_EQ(RecoveryLabels().size(), 1u);
  EXPECT_EQ(RecoveryLabels()[0].text, "扇区: 0, 100");

  // Reading goes on behind the kept bytes.
  ASSERT_TRUE(call.ReadUntil(40 * kUnit));
  EXPECT_EQ(SectorHeldAt(call, 39), 100);
  EXPECT_EQ(call.ClaimList(), Units(0, 100));
}

TEST_F(CarverCallCompact, IgnoresAPositionBeyondTheHeldBytes) {
  CarverCall call(*env_, 0);
  ASSERT_TRUE(call.ReadUntil(62 * kUnit));
  uint64_t position = 63 * kUnit;
  call.Compact(position);
  EXPECT_EQ(position, 63 * kUnit);
  EXPECT_EQ(call.Held(), 62 * kUnit);
}

}  // namespace
}  // namespace officecarve
