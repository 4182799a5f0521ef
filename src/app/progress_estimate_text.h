#pragma once

#include <chrono>
#include <string>

#include "app/progress_estimator.h"
#include "text/ui_text_table.h"

namespace officecarve {

// "0:03:12": hours (as many digits as they take), minutes, seconds.
std::string DurationText(std::chrono::seconds duration);

// "612 MB/s", "4.5 MB/s", "1.25 GB/s", "830 KB/s" (decimal units, as disk
// speeds are given).
std::string RateText(double bytes_per_second);

// The three parts of an estimate as shown: "612 MB/s", "elapsed 0:03:12",
// "left 0:04:33"; the rate and the time left are empty until estimated.
struct ProgressEstimateParts {
  std::string rate;
  std::string elapsed;
  std::string left;
};
ProgressEstimateParts EstimateParts(const UiTextTable& texts, const ProgressEstimate& estimate);

// The line the progress windows show under their labels: the parts above,
// two blanks apart ("612 MB/s  elapsed 0:03:12  left 0:04:33").
std::string ProgressEstimateText(const UiTextTable& texts, const ProgressEstimate& estimate);

}  // namespace officecarve
