#include "carvers/office/package_family.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "core/scan_state.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

struct Prefix {
  std::string_view text;
  PackageFamily family;
};

constexpr std::array<Prefix, 3> kPrefixes = {{
    {"word/"sv, {kFamilyDoc, ".DOCX"sv, "doc"sv}},
    {"xl/"sv, {kFamilyXls, ".XLSX"sv, "xls"sv}},
    {"ppt/"sv, {kFamilyPpt, ".PPTX"sv, "ppt"sv}},
}};

bool StartsWithIgnoringCase(std::span<const uint8_t> name, std::string_view prefix) {
  if (name.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(name[i]) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

const PackageFamily* FamilyOfEntryName(std::span<const uint8_t> name) {
  for (const Prefix& prefix : kPrefixes) {
    if (StartsWithIgnoringCase(name, prefix.text)) return &prefix.family;
  }
  return nullptr;
}

bool IsContentTypesName(std::span<const uint8_t> name) {
  constexpr std::string_view kContentTypes = "[Content_Types].xml"sv;
  return std::equal(name.begin(), name.end(), kContentTypes.begin(), kContentTypes.end());
}

}  // namespace officecarve
