#pragma once

#include <cstdint>

namespace officecarve {

// The owner to give what the program creates (OwnerForCreatedFiles).
struct FileOwner {
  uint32_t uid = 0;
  uint32_t gid = 0;
};

}  // namespace officecarve
