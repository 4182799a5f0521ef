#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

#include "platform/posix/sysfs_read.h"

namespace officecarve::posix {
namespace {

constexpr std::streamsize kMaxAttributeBytes = 4096;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::optional<std::string> ReadTrimmedLine(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(static_cast<size_t>(kMaxAttributeBytes), '\0');
  in.read(text.data(), kMaxAttributeBytes);
  if (in.bad()) return std::nullopt;
  text.resize(static_cast<size_t>(in.gcount()));
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::optional<uint64_t> ParseDecimal(const std::string& text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<uint64_t> ParseMajorMinor(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const auto major_number = ParseDecimal(text.substr(0, colon));
  const auto minor_number = ParseDecimal(text.substr(colon + 1));
  constexpr uint64_t kMaxPart = std::numeric_limits<uint32_t>::max();
  if (!major_number || !minor_number || *major_number > kMaxPart || *minor_number > kMaxPart) {
    return std::nullopt;
  }
  return static_cast<uint64_t>(
      makedev(static_cast<unsigned>(*major_number), static_cast<unsigned>(*minor_number)));
}

}  // namespace officecarve::posix

namespace officecarve::posix {

std::string PartitionParentName(const std::string& sys_class_block, const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path resolved = fs::canonical(fs::path(sys_class_block) / name, error);
  if (error) return {};
  const std::string parent = resolved.parent_path().filename().string();
  if (parent.empty() || parent == name ||
      !fs::exists(fs::path(sys_class_block) / parent / "dev", error)) {
    return {};
  }
  return parent;
}

}  // namespace officecarve::posix
