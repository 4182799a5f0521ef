#include "verdict/verdict.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <vector>

namespace officecarve {
namespace {

constexpr std::array<uint8_t, 4> kCompoundFileStart = {0xD0, 0xCF, 0x11, 0xE0};
constexpr std::array<uint8_t, 4> kZipStart = {'P', 'K', 0x03, 0x04};
// No carver writes a document this large; a file beyond it is left alone
// rather than held in memory.
constexpr uintmax_t kMaxCheckedBytes = uintmax_t{1} << 30;

bool StartsWith(std::span<const uint8_t> bytes, const std::array<uint8_t, 4>& start) {
  return bytes.size() >= start.size() && std::equal(start.begin(), start.end(), bytes.begin());
}

}  // namespace

std::string_view VerdictName(VerdictState state) {
  switch (state) {
    case VerdictState::kIntact:
      return "intact";
    case VerdictState::kDamaged:
      return "damaged";
    case VerdictState::kUnchecked:
      break;
  }
  return "unchecked";
}

Verdict CheckDocumentBytes(std::span<const uint8_t> bytes) {
  if (StartsWith(bytes, kCompoundFileStart)) return CheckCompoundFile(bytes);
  if (StartsWith(bytes, kZipStart)) return CheckZipPackage(bytes);
  return Verdict::Damaged("neither a compound file nor a ZIP package");
}

Verdict CheckRecoveredFile(const std::filesystem::path& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return Verdict::Unchecked("could not be read back: " + error.message());
  if (size > kMaxCheckedBytes) return Verdict::Unchecked("larger than 1 GiB, not checked");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in || static_cast<uintmax_t>(in.gcount()) != size) {
    return Verdict::Unchecked("could not be read back");
  }
  return CheckDocumentBytes(bytes);
}

}  // namespace officecarve
