#pragma once

#include <cstdint>

#include "testimage/image_builder.h"

namespace officecarve::gui::testing {

// A FAT32 volume of `sectors` sectors with 8 sectors (4 KiB) per cluster.
testimage::ImageBuilder Fat32Image(uint64_t sectors);
// The first sector of its data area (a cluster start).
int64_t Fat32DataStart();

}  // namespace officecarve::gui::testing
