#include "platform/code_page.h"

#include <array>
#include <cctype>
#include <cstddef>
#include <cstdlib>

namespace officecarve {
namespace {

std::string AsciiLower(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lowered;
}

// Splits "zh_Hant_TW" or "zh-CN" into its subtags, lower-cased.
std::array<std::string, 3> LocaleSubtags(std::string_view locale) {
  std::array<std::string, 3> subtags;
  std::size_t index = 0;
  std::size_t start = 0;
  while (index < subtags.size() && start <= locale.size()) {
    std::size_t end = locale.find_first_of("_-", start);
    if (end == std::string_view::npos) end = locale.size();
    subtags[index++] = AsciiLower(locale.substr(start, end - start));
    start = end + 1;
  }
  return subtags;
}

}  // namespace

int CodePageForLocale(std::string_view locale) {
  // Drop the codeset (".UTF-8") and the modifier ("@euro").
  locale = locale.substr(0, locale.find_first_of(".@"));
  const std::array<std::string, 3> subtags = LocaleSubtags(locale);
  if (subtags[0] != "zh") return kDefaultCodePage;
  // A script subtag decides over the region: zh_Hant_CN is still traditional.
  for (std::size_t i = 1; i < subtags.size(); ++i) {
    if (subtags[i] == "hans") return kSimplifiedChineseCodePage;
    if (subtags[i] == "hant") return kTraditionalChineseCodePage;
  }
  for (std::size_t i = 1; i < subtags.size(); ++i) {
    if (subtags[i] == "tw" || subtags[i] == "hk" || subtags[i] == "mo") {
      return kTraditionalChineseCodePage;
    }
  }
  // Chinese without a traditional region or script: mainland, Singapore or no region given.
  return kSimplifiedChineseCodePage;
}

std::string LocaleFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return {};
}

}  // namespace officecarve
