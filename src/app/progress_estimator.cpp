#include "app/progress_estimator.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace officecarve {
namespace {

double Seconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

}  // namespace

ProgressEstimator::ProgressEstimator(Clock clock) : clock_(std::move(clock)) { Start(); }

void ProgressEstimator::Start() {
  started_ = clock_();
  paused_total_ = {};
  paused_since_.reset();
  done_ = 0;
  total_ = 0;
  step_start_.reset();
  step_start_done_ = 0;
  rate_.reset();
}

ProgressEstimator::Duration ProgressEstimator::Active(
    std::chrono::steady_clock::time_point now) const {
  Duration active = now - started_ - paused_total_;
  if (paused_since_) active -= now - *paused_since_;
  return std::max(active, Duration{});
}

void ProgressEstimator::SetPaused(bool paused) {
  if (paused == Paused()) return;
  const auto now = clock_();
  if (paused) {
    paused_since_ = now;
  } else {
    paused_total_ += now - *paused_since_;
    paused_since_.reset();
  }
}

void ProgressEstimator::Observe(uint64_t done, uint64_t total) {
  done_ = done;
  total_ = total;
  if (Paused()) return;
  const Duration active = Active(clock_());
  // The first report, or one that went back: measure from here.
  if (!step_start_ || done < step_start_done_) {
    step_start_ = active;
    step_start_done_ = done;
    return;
  }
  const Duration step = active - *step_start_;
  if (step < kStep) return;
  const double rate = static_cast<double>(done - step_start_done_) / Seconds(step);
  // A young phase averages all it has seen; an older one forgets slowly, so
  // a change of speed shows within seconds without one step swinging it.
  const double weight = std::max(1.0 - std::exp(-Seconds(step) / Seconds(kMemory)),
                                 Seconds(step) / std::max(Seconds(active), Seconds(step)));
  rate_ = rate_ ? *rate_ + weight * (rate - *rate_) : rate;
  step_start_ = active;
  step_start_done_ = done;
}

ProgressEstimate ProgressEstimator::Estimate() const {
  ProgressEstimate estimate;
  const Duration active = Active(clock_());
  estimate.elapsed = std::chrono::duration_cast<std::chrono::seconds>(active);
  if (Paused() || active < kWarmUp || !rate_) return estimate;
  estimate.bytes_per_second = *rate_;
  if (done_ >= total_) {
    estimate.left = std::chrono::seconds(0);
  } else if (*rate_ > 0) {
    const double seconds = static_cast<double>(total_ - done_) / *rate_;
    // A rate near nothing gives no useful time; more than a year is no estimate.
    if (seconds < 366.0 * 24 * 3600) estimate.left = std::chrono::seconds(std::llround(seconds));
  }
  return estimate;
}

}  // namespace officecarve
