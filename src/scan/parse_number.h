#pragma once

#include <cstdint>
#include <string_view>

namespace officecarve {

// A decimal signed 64-bit number as typed into a field (blanks around it are
// allowed); text that is not such a number gives -1.
int64_t ParseSectorNumber(std::string_view text);

}  // namespace officecarve
