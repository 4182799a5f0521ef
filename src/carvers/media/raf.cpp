#include <algorithm>
#include <cstdint>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr std::string_view kRafMagic = "FUJIFILMCCD-RAW ";
// Big-endian header words: the offset and length of the raw data, and in
// headers whose preview offset is 148 a second offset and length pair.
constexpr size_t kPreviewOffsetWord = 84;
constexpr uint32_t kPreviewOffsetWithSecondPair = 148;
constexpr size_t kDataOffsetWord = 100;
constexpr size_t kDataLengthWord = 104;
constexpr size_t kSecondOffsetWord = 128;
constexpr size_t kSecondLengthWord = 132;
constexpr size_t kHeaderBytes = kSecondLengthWord + 4;
// Larger than any camera's raw file.
constexpr uint32_t kMaxRafBytes = 200 * 1024 * 1024;

}  // namespace

void CarveRaf(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  if (!HeaderHas(header, 0, kRafMagic) || header.size() < kHeaderBytes) return call.Fail();
  // Offset plus length in 32 bits on purpose: a sum that wraps gives a small
  // length, and the file is then claimed by its header unit alone.
  uint32_t length = Be32At(header, kDataOffsetWord) + Be32At(header, kDataLengthWord);
  if (Be32At(header, kPreviewOffsetWord) == kPreviewOffsetWithSecondPair) {
    length =
        std::max(length, Be32At(header, kSecondOffsetWord) + Be32At(header, kSecondLengthWord));
  }
  if (length > kMaxRafBytes) return call.Fail();
  ClaimDeclaredLength(call, length);
}

}  // namespace officecarve
