#include "app/progress_estimator.h"

#include <gtest/gtest.h>

#include <chrono>

#include "app/progress_estimate_text.h"

namespace officecarve {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr double kMB = 1e6;

// A clock the test moves, and a phase reported every 100 ms as a scan does.
class ProgressEstimatorTest : public ::testing::Test {
 protected:
  ProgressEstimatorTest() : estimator_([this] { return now_; }) {}

  // Runs for `duration` at `rate` bytes per second, reporting as it goes.
  void Run(milliseconds duration, double rate) {
    for (milliseconds step{100}; duration.count() > 0; duration -= step) {
      now_ += step;
      done_ += static_cast<uint64_t>(rate * 0.1);
      estimator_.Observe(done_, kTotal);
    }
  }
  void Wait(milliseconds duration) { now_ += duration; }

  static constexpr uint64_t kTotal = 100'000 * 1'000'000ull;
  std::chrono::steady_clock::time_point now_{};
  uint64_t done_ = 0;
  ProgressEstimator estimator_;
};

TEST_F(ProgressEstimatorTest, ShowsNoEstimateInTheFirstSecondsThenTheRateAndTimeLeft) {
  estimator_.Observe(0, kTotal);
  Run(milliseconds(2900), 100 * kMB);
  ProgressEstimate early = estimator_.Estimate();
  EXPECT_EQ(early.elapsed, seconds(2));
  EXPECT_FALSE(early.bytes_per_second);
  EXPECT_FALSE(early.left);

  Run(milliseconds(1100), 100 * kMB);
  const ProgressEstimate steady = estimator_.Estimate();
  ASSERT_TRUE(steady.bytes_per_second);
  EXPECT_NEAR(*steady.bytes_per_second, 100 * kMB, 1 * kMB);
  ASSERT_TRUE(steady.left);
  EXPECT_NEAR(static_cast<double>(steady.left->count()), (kTotal - done_) / (100 * kMB), 10);
}

TEST_F(ProgressEstimatorTest, SmoothsAShortBurstAndFollowsALastingChange) {
  Run(seconds(30), 100 * kMB);
  // One second ten times as fast (a stretch of zeros, a cached region).
  Run(seconds(1), 1000 * kMB);
  ASSERT_TRUE(estimator_.Estimate().bytes_per_second);
  EXPECT_LT(*estimator_.Estimate().bytes_per_second, 200 * kMB);
  EXPECT_GT(*estimator_.Estimate().bytes_per_second, 100 * kMB);

  // A disk that really slows down shows it within half a minute.
  Run(seconds(30), 20 * kMB);
  EXPECT_NEAR(*estimator_.Estimate().bytes_per_second, 20 * kMB, 10 * kMB);
}

TEST_F(ProgressEstimatorTest, APauseShowsNoEstimateAndCountsNeitherAsElapsedNorInTheRate) {
  Run(seconds(10), 50 * kMB);
  estimator_.SetPaused(true);
  Wait(seconds(60));
  const ProgressEstimate paused = estimator_.Estimate();
  EXPECT_EQ(paused.elapsed, seconds(10));
  EXPECT_FALSE(paused.bytes_per_second);
  EXPECT_FALSE(paused.left);

  estimator_.SetPaused(false);
  Run(seconds(2), 50 * kMB);
  const ProgressEstimate resumed = estimator_.Estimate();
  EXPECT_EQ(resumed.elapsed, seconds(12));
  ASSERT_TRUE(resumed.bytes_per_second);
  EXPECT_NEAR(*resumed.bytes_per_second, 50 * kMB, 1 * kMB);
}

TEST_F(ProgressEstimatorTest, ANewPhaseStartsFromNothingAndTheEndLeavesNoTime) {
  Run(seconds(5), 100 * kMB);
  estimator_.Start();
  EXPECT_EQ(estimator_.Estimate().elapsed, seconds(0));
  EXPECT_FALSE(estimator_.Estimate().bytes_per_second);

  Run(seconds(4), 100 * kMB);
  estimator_.Observe(kTotal, kTotal);
  ASSERT_TRUE(estimator_.Estimate().left);
  EXPECT_EQ(*estimator_.Estimate().left, seconds(0));
}

TEST(ProgressEstimateText, ReadsInEachLanguage) {
  ProgressEstimate estimate;
  estimate.elapsed = seconds(3 * 60 + 12);
  const struct {
    TextVariant variant;
    const char* early;
    const char* later;
  } kCases[] = {
      {TextVariant::SimplifiedChinese, "用时 0:03:12", "612 MB/s  用时 0:03:12  剩余 0:04:33"},
      {TextVariant::TraditionalChinese, "用時 0:03:12", "612 MB/s  用時 0:03:12  剩餘 0:04:33"},
      {TextVariant::English, "elapsed 0:03:12", "612 MB/s  elapsed 0:03:12  left 0:04:33"},
  };
  for (const auto& c : kCases) {
    const UiTextTable texts(c.variant);
    estimate.bytes_per_second.reset();
    estimate.left.reset();
    EXPECT_EQ(ProgressEstimateText(texts, estimate), c.early);
    estimate.bytes_per_second = 612.4 * kMB;
    estimate.left = seconds(4 * 60 + 33);
    EXPECT_EQ(ProgressEstimateText(texts, estimate), c.later);
  }
}

TEST(ProgressEstimateText, RatesAndDurationsKeepAFewDigits) {
  const struct {
    double rate;
    const char* text;
  } kRates[] = {{0, "0.0 KB/s"},        {830e3, "830 KB/s"}, {4.54e6, "4.5 MB/s"},
                {45.26e6, "45.3 MB/s"}, {999e6, "999 MB/s"}, {1.254e9, "1.25 GB/s"}};
  for (const auto& r : kRates) EXPECT_EQ(RateText(r.rate), r.text) << r.rate;
  EXPECT_EQ(DurationText(seconds(0)), "0:00:00");
  EXPECT_EQ(DurationText(seconds(59 * 60 + 59)), "0:59:59");
  EXPECT_EQ(DurationText(seconds(55 * 3600 + 61)), "55:01:01");
}

}  // namespace
}  // namespace officecarve
