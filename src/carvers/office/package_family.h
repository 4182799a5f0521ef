#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace officecarve {

// What a zipped office package is written as.
struct PackageFamily {
  uint32_t switch_bit;
  std::string_view extension;
  std::string_view family;
};

// The family a central directory entry name announces ("word/", "xl/",
// "ppt/", in any ASCII case), or null.
const PackageFamily* FamilyOfEntryName(std::span<const uint8_t> name);

// True for the entry every office package carries: "[Content_Types].xml".
bool IsContentTypesName(std::span<const uint8_t> name);

}  // namespace officecarve
