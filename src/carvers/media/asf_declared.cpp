#include <cstdint>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

// The file properties object's identifier, where it lies when that object
// comes first, right after the header object's own 30 bytes.
constexpr std::string_view kFilePropertiesId =
    "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65"sv;
constexpr size_t kFilePropertiesOffset = 30;
// Its file size field: after the identifier, the object size and the file
// identifier.
constexpr size_t kFileSizeOffset = 70;

uint64_t FileSizeField(std::span<const uint8_t> header) {
  uint64_t size = 0;
  for (size_t i = 0; i < 8; ++i) {
    size |= static_cast<uint64_t>(header[kFileSizeOffset + i]) << (8 * i);
  }
  return size;
}

}  // namespace

void CarveAsfDeclared(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  if (!HeaderHas(header, kFilePropertiesOffset, kFilePropertiesId) ||
      header.size() < kFileSizeOffset + 8) {
    return call.Fail();
  }
  ClaimDeclaredLength(call, FileSizeField(header));
}

}  // namespace officecarve
