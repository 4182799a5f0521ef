#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace officecarve {

// What a long phase has shown so far: how long it has run (pauses left
// out) and, once there is enough to go on, its rate and the time left.
struct ProgressEstimate {
  std::chrono::seconds elapsed{0};
  std::optional<double> bytes_per_second;
  std::optional<std::chrono::seconds> left;
};

// Turns the progress a front end is told about into a rate and a time left
// that do not jump: the rate is measured over steps of a second and smoothed
// (a plain mean while the phase is young, then an exponential average that
// forgets over about ten seconds). Nothing is estimated in the first seconds
// or while paused, and paused time counts neither as elapsed nor in a rate.
class ProgressEstimator {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  static constexpr std::chrono::seconds kWarmUp{3};
  static constexpr std::chrono::milliseconds kStep{1000};
  static constexpr std::chrono::seconds kMemory{10};

  static std::chrono::steady_clock::time_point SteadyClock() {
    return std::chrono::steady_clock::now();
  }

  explicit ProgressEstimator(Clock clock = SteadyClock);

  // A new phase begins: its time starts now and nothing is known of it.
  void Start();
  void Observe(uint64_t done, uint64_t total);
  void SetPaused(bool paused);
  bool Paused() const { return paused_since_.has_value(); }
  ProgressEstimate Estimate() const;

 private:
  using Duration = std::chrono::steady_clock::duration;
  Duration Active(std::chrono::steady_clock::time_point now) const;

  Clock clock_;
  std::chrono::steady_clock::time_point started_{};
  Duration paused_total_{};
  std::optional<std::chrono::steady_clock::time_point> paused_since_;
  uint64_t done_ = 0;
  uint64_t total_ = 0;
  // The start of the step being measured, in active time.
  std::optional<Duration> step_start_;
  uint64_t step_start_done_ = 0;
  std::optional<double> rate_;
};

}  // namespace officecarve
