#include "scan/claimed_sector_map.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace officecarve {
namespace {

constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();
constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();

TEST(ClaimedSectorMap, ClaimsAndReleasesSectorsOneByOneAcrossWordEdges) {
  ClaimedSectorMap map(99);
  EXPECT_TRUE(map.Valid());
  EXPECT_EQ(map.CountClaimed(), 0u);
  for (const int64_t sector : {0, 31, 32, 63, 64, 99}) map.Claim(sector);
  map.Claim(32);  // a second claim changes nothing
  EXPECT_EQ(map.CountClaimed(), 6u);
  EXPECT_TRUE(map.IsClaimed(31));
  EXPECT_TRUE(map.IsClaimed(32));
  EXPECT_FALSE(map.IsClaimed(30));
  EXPECT_FALSE(map.IsClaimed(33));

  map.Release(31);
  map.Release(50);  // releasing an unclaimed sector changes nothing
  EXPECT_FALSE(map.IsClaimed(31));
  EXPECT_TRUE(map.IsClaimed(0));
  EXPECT_TRUE(map.IsClaimed(32));
  EXPECT_TRUE(map.IsClaimed(99));
  EXPECT_EQ(map.CountClaimed(), 5u);
}

TEST(ClaimedSectorMap, FindsTheNextUnclaimedSectorAsAStepByStepWalkWould) {
  ClaimedSectorMap map(1000);
  // Runs of every length, many of them whole words, some crossing word edges.
  uint32_t seed = 12345;
  for (int64_t sector = 0; sector <= 1000;) {
    seed = seed * 1103515245u + 12345u;
    const int64_t run = (seed >> 16) % 90;
    if ((seed >> 8) % 3 != 0) {
      for (int64_t i = 0; i < run && sector + i <= 1000; ++i) map.Claim(sector + i);
    }
    sector += run + 1;
  }
  for (const int64_t limit : {int64_t{1000}, int64_t{700}, int64_t{1200}}) {
    for (int64_t from = -3; from <= limit + 2; ++from) {
      int64_t expected = from;
      while (expected <= limit && map.IsClaimed(expected)) ++expected;
      ASSERT_EQ(map.NextUnclaimed(from, limit), expected) << from << " up to " << limit;
    }
  }
}

// Claims and releases of every length, some over thousands of sectors, so
// the counts kept per group of words are passed whole and in part.
TEST(ClaimedSectorMap, CountsAheadAndLooksBackAsAStepByStepWalkWould) {
  constexpr int64_t kLast = 20000;
  ClaimedSectorMap map(kLast);
  uint32_t seed = 777;
  auto next = [&seed](uint32_t bound) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int64_t>((seed >> 8) % bound);
  };
  std::vector<bool> model(kLast + 1, false);
  for (int round = 0; round < 400; ++round) {
    const int64_t first = next(kLast + 1);
    const int64_t last = first + (next(8) == 0 ? next(5000) : next(70));
    const bool claim = next(2) != 0;  // about half claimed, so no count saturates
    if (claim) {
      map.ClaimRange(first, last);
    } else {
      map.ReleaseRange(first, last);
    }
    for (int64_t sector = first; sector <= std::min(last, kLast); ++sector) model[sector] = claim;
  }
  for (int64_t sector = 0; sector <= kLast; ++sector)
    ASSERT_EQ(map.IsClaimed(sector), model[sector]);
  EXPECT_EQ(map.CountClaimed(),
            static_cast<uint64_t>(std::count(model.begin(), model.end(), true)));
  for (int probe = 0; probe < 3000; ++probe) {
    const int64_t from = next(kLast + 100) - 50;
    const int64_t limit = next(3) == 0 ? kLast + 300 : from + next(9000);
    const auto index = static_cast<uint64_t>(next(6000));
    int64_t expected = std::max<int64_t>(from, 0);
    for (uint64_t seen = 0; expected <= limit; ++expected) {
      if (!map.IsClaimed(expected) && seen++ == index) break;
    }
    ASSERT_EQ(map.NthUnclaimed(from, index, limit), std::min(expected, limit + 1))
        << "the " << index << "th from " << from << " up to " << limit;
    int64_t claimed = std::max<int64_t>(from, 0);
    while (claimed <= limit && !map.IsClaimed(claimed)) ++claimed;
    ASSERT_EQ(map.NextClaimed(from, limit), claimed)
        << "the next claimed from " << from << " up to " << limit;
    const int64_t back_to = from - next(9000);
    int64_t before = from;
    while (before >= back_to && map.IsClaimed(before)) --before;
    ASSERT_EQ(map.PreviousUnclaimed(from, back_to), std::max(before, back_to - 1))
        << "back from " << from << " to " << back_to;
  }
  // A claim kept over claimed and unclaimed sectors notes only the latter.
  std::vector<bool> earlier(kLast + 1);
  for (int64_t sector = 0; sector <= kLast; ++sector) earlier[sector] = map.IsClaimed(sector);
  const uint64_t count = map.KeptCount();
  map.ClaimKept(100, 9000);
  std::vector<bool> noted(kLast + 1, false);
  for (uint64_t index = count; index < map.KeptCount(); ++index) {
    const auto run = map.KeptRun(index);
    ASSERT_TRUE(run.has_value());
    for (int64_t sector = run->first; sector <= run->second; ++sector) noted[sector] = true;
  }
  for (int64_t sector = 0; sector <= kLast; ++sector) {
    const bool inside = sector >= 100 && sector <= 9000;
    ASSERT_EQ(noted[sector], inside && !earlier[sector]) << sector;
    ASSERT_EQ(map.IsClaimed(sector), inside || earlier[sector]) << sector;
  }
}

TEST(ClaimedSectorMap, NeverClaimsOutsideTheVolume) {
  ClaimedSectorMap map(40);  // the last word is only partly used
  for (const int64_t sector :
       {int64_t{-1}, int64_t{41}, int64_t{63}, int64_t{64}, kInt64Max, kInt64Min}) {
    map.Claim(sector);
    EXPECT_FALSE(map.IsClaimed(sector)) << sector;
    map.Release(sector);
  }
  EXPECT_EQ(map.CountClaimed(), 0u);
}

TEST(ClaimedSectorMap, AMapOfAnEmptyVolumeHoldsNothing) {
  ClaimedSectorMap map(-1);
  EXPECT_TRUE(map.Valid());
  map.Claim(0);
  EXPECT_FALSE(map.IsClaimed(0));
  EXPECT_EQ(map.CountClaimed(), 0u);
}

TEST(ClaimedSectorMap, AMapOfAHugeVolumeCostsOnlyThePagesItTouches) {
  // 2^33 sectors (4 TiB of 512-byte sectors) need a 1 GiB map; zeroed
  // allocation leaves the untouched pages unbacked, so this stays cheap.
  const int64_t last = (int64_t{1} << 33) - 1;
  ClaimedSectorMap map(last);
  ASSERT_TRUE(map.Valid());
  EXPECT_EQ(map.LastSector(), last);
  map.Claim(last);
  EXPECT_TRUE(map.IsClaimed(last));
  EXPECT_FALSE(map.IsClaimed(last - 1));
  EXPECT_FALSE(map.IsClaimed(last + 1));
}

TEST(ClaimedSectorMap, AMapThatCannotBeAllocatedClaimsAndCountsNothing) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer aborts on an allocation of this size";
#else
  // 2^58 words: far more than any address space, so the allocation fails.
  ClaimedSectorMap map(kInt64Max);
  EXPECT_FALSE(map.Valid());
  map.Claim(5);
  EXPECT_FALSE(map.IsClaimed(5));
  EXPECT_EQ(map.CountClaimed(), 0u);
#endif
}

}  // namespace
}  // namespace officecarve
