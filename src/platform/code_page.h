#pragma once

#include <string>
#include <string_view>

namespace officecarve {

// The code pages that choose the interface language.
constexpr int kSimplifiedChineseCodePage = 936;
constexpr int kTraditionalChineseCodePage = 950;
constexpr int kDefaultCodePage = 437;

// The OEM code page of the system: what Windows reports; on other systems
// what a Windows system with the user's locale would report.
int SystemCodePage();

// The code page a system with this locale would report: 936 for Simplified
// Chinese locales, 950 for Traditional Chinese ones, 437 for anything else.
int CodePageForLocale(std::string_view locale);

// The locale from LC_ALL, LC_MESSAGES and LANG, the first one set and non-empty.
std::string LocaleFromEnvironment();

}  // namespace officecarve
