#pragma once

#include <cstdint>
#include <string>

namespace officecarve {

// done of total as a percentage with two decimals: 0 of 7 is "0.00%",
// 1 of 3 is "33.33%". A total of 0 or less gives "0.00%".
std::string PercentText(int64_t done, int64_t total);
// The same, written into `out` (reusing its storage).
void AppendPercentText(std::string& out, int64_t done, int64_t total);

}  // namespace officecarve
