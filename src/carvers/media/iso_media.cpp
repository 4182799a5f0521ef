#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/long_record.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr uint64_t kBoxHeaderBytes = 8;
// A leading "ftyp" box this long is taken for something else.
constexpr uint32_t kFtypSizeLimit = 256;

// Top-level boxes a file carries after its "ftyp"; any other type (or a
// stray byte pattern) ends the file before it. Fragmented movies (as
// recorders and streaming writers make them) go on with movie fragments,
// segment indexes and a fragment random-access box; still-image files carry
// a top-level "meta".
constexpr std::array<std::string_view, 15> kWalkedBoxTypes = {
    "moov", "mdat", "free", "wide", "uuid", "isom", "skip", "meta",
    "pdin", "moof", "mfra", "sidx", "ssix", "styp", "prft"};

std::string_view TypeAt(std::span<const uint8_t> bytes, uint64_t at) {
  return {reinterpret_cast<const char*>(bytes.data() + at), 4};
}

bool IsWalkedBoxType(std::string_view type) {
  return std::find(kWalkedBoxTypes.begin(), kWalkedBoxTypes.end(), type) != kWalkedBoxTypes.end();
}

}  // namespace

void CarveIsoMedia(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  if (header.size() < kBoxHeaderBytes || header[0] != 0 || header[1] != 0 ||
      TypeAt(header, 4) != "ftyp") {
    return call.Fail();
  }
  const uint32_t ftyp_size = Be32At(header, 0);
  // Shorter than its own header it would be read again as the next box.
  if (ftyp_size >= kFtypSizeLimit || ftyp_size < kBoxHeaderBytes) return call.Fail();

  uint64_t buffer_position = ftyp_size;
  uint64_t file_position = ftyp_size;
  while (true) {
    if (!call.ReadUntil(buffer_position + kBoxHeaderBytes)) return call.FailChain();
    if (call.ChainFailsAt(buffer_position)) return call.FailChain();
    const std::span<const uint8_t> bytes = call.Bytes();
    uint64_t size = Be32At(bytes, buffer_position);
    // Sizes 0 (to the end of the file) and 1 (a 64-bit size follows) are not
    // followed, nor is anything shorter than a box header: the file is taken
    // to end before such a box, which also keeps the walk moving.
    if (!IsWalkedBoxType(TypeAt(bytes, buffer_position + 4)) || size < kBoxHeaderBytes) {
      call.TrimTo(file_position);
      return call.Complete();
    }
    if (!HoldLongRecord(call, buffer_position, size, file_position)) return call.FailChain();
    buffer_position += size;
    file_position += size;
    call.Compact(buffer_position);
  }
}

}  // namespace officecarve
