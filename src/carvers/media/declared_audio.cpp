// Sound files whose header states how long the whole file is: AIFF and
// AIFF-C, Sun/NeXT audio and Wave64. As with RIFF WAVE, a file is claimed to
// its declared end, or to the end of the scan range when that comes first.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

// Larger than any recording worth following; a larger size is far likelier
// a damaged header.
constexpr uint64_t kMaxSoundBytes = 16ull << 30;

// "FORM", the size of what follows it, then the form type and its chunks.
std::optional<uint64_t> AiffBytes(std::span<const uint8_t> header) {
  constexpr uint64_t kFormHeaderBytes = 8;
  // The form type and at least one chunk header.
  constexpr uint32_t kMinFormSize = 4 + 8;
  if (!HeaderHas(header, 0, "FORM") ||
      !(HeaderHas(header, 8, "AIFF") || HeaderHas(header, 8, "AIFC"))) {
    return std::nullopt;
  }
  const uint32_t form_size = Be32At(header, 4);
  if (form_size < kMinFormSize) return std::nullopt;
  return kFormHeaderBytes + form_size;
}

// ".snd", where the sound data starts and how long it is; a writer that
// could not seek back leaves the length unknown (all ones), and then the
// file cannot be bounded.
std::optional<uint64_t> SunAudioBytes(std::span<const uint8_t> header) {
  constexpr uint32_t kUnknownLength = 0xFFFFFFFF;
  constexpr uint32_t kMinDataOffset = 24;
  if (!HeaderHas(header, 0, ".snd")) return std::nullopt;
  const uint32_t data_offset = Be32At(header, 4);
  const uint32_t data_bytes = Be32At(header, 8);
  if (data_offset < kMinDataOffset || data_bytes == kUnknownLength) return std::nullopt;
  return uint64_t{data_offset} + data_bytes;
}

// The "riff" GUID, then the whole file's length in 64 bits.
std::optional<uint64_t> Wave64Bytes(std::span<const uint8_t> header) {
  constexpr std::string_view kRiffGuid = "riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00";
  constexpr std::string_view kWaveGuid = "wave\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A";
  // The header chunk and the form GUID.
  constexpr uint64_t kMinBytes = 16 + 8 + 16;
  if (!HeaderHas(header, 0, kRiffGuid) || !HeaderHas(header, 24, kWaveGuid)) return std::nullopt;
  const uint64_t length = Le64At(header, 16);
  if (length < kMinBytes) return std::nullopt;
  return length;
}

void CarveDeclaredSound(CarverEnv& env, int64_t offset,
                        std::optional<uint64_t> (*declared)(std::span<const uint8_t>)) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::optional<uint64_t> length = declared(call.Bytes());
  if (!length || *length > kMaxSoundBytes) return call.Fail();
  ClaimDeclaredLength(call, *length);
}

}  // namespace

void CarveAiff(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarveDeclaredSound(env, offset, &AiffBytes);
}

void CarveSunAudio(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarveDeclaredSound(env, offset, &SunAudioBytes);
}

void CarveWave64(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarveDeclaredSound(env, offset, &Wave64Bytes);
}

}  // namespace officecarve
