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

// The line the progress windows show under their labels and the command line
// puts in its progress line: "612 MB/s  elapsed 0:03:12  left 0:04:33", with
// the rate and the time left only once they are estimated.
std::string ProgressEstimateText(const UiTextTable& texts, const ProgressEstimate& estimate);

}  // namespace officecarve
