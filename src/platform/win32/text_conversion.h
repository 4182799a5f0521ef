#pragma once

#include <optional>
#include <string>
#include <string_view>

// The engine keeps text and paths in UTF-8; Windows wants UTF-16 for the wide
// calls and the ANSI code page for the narrow ones.
namespace officecarve::win32 {

// nullopt when the text is not valid UTF-8.
std::optional<std::wstring> Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// nullopt when the text is not valid UTF-8 or holds a character the ANSI code
// page cannot represent (a lossy path would name another file).
std::optional<std::string> Utf8ToAnsi(std::string_view text);
std::string AnsiToUtf8(std::string_view text);

}  // namespace officecarve::win32
