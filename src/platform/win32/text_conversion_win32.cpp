#include <windows.h>

#include <limits>

#include "platform/win32/text_conversion.h"

namespace officecarve::win32 {
namespace {

constexpr size_t kMaxChars = static_cast<size_t>(std::numeric_limits<int>::max());

std::optional<std::wstring> ToWide(UINT code_page, DWORD flags, std::string_view text) {
  if (text.empty()) return std::wstring();
  if (text.size() > kMaxChars) return std::nullopt;
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(code_page, flags, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  if (MultiByteToWideChar(code_page, flags, text.data(), length, wide.data(), needed) != needed) {
    return std::nullopt;
  }
  return wide;
}

std::optional<std::string> FromWide(UINT code_page, std::wstring_view text, bool exact) {
  if (text.empty()) return std::string();
  if (text.size() > kMaxChars) return std::nullopt;
  const int length = static_cast<int>(text.size());
  // UTF-8 takes neither flags nor a default-character pointer.
  const DWORD flags = exact ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL used_default = FALSE;
  BOOL* used_default_out = exact ? &used_default : nullptr;
  const int needed =
      WideCharToMultiByte(code_page, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::nullopt;
  std::string narrow(static_cast<size_t>(needed), '\0');
  if (WideCharToMultiByte(code_page, flags, text.data(), length, narrow.data(), needed, nullptr,
                          used_default_out) != needed ||
      used_default) {
    return std::nullopt;
  }
  return narrow;
}

}  // namespace

std::optional<std::wstring> Utf8ToWide(std::string_view text) {
  return ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, text);
}

std::string WideToUtf8(std::wstring_view text) {
  return FromWide(CP_UTF8, text, false).value_or(std::string());
}

std::optional<std::string> Utf8ToAnsi(std::string_view text) {
  const auto wide = Utf8ToWide(text);
  if (!wide) return std::nullopt;
  return FromWide(CP_ACP, *wide, true);
}

std::string AnsiToUtf8(std::string_view text) {
  const auto wide = ToWide(CP_ACP, 0, text);
  return wide ? WideToUtf8(*wide) : std::string();
}

}  // namespace officecarve::win32
