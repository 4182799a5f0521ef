// Core Audio files are a header and then chunks, each with its type and a
// 64-bit length. The file is the chunks walked from the first while each is
// of a type the format defines; the first that is not ends the file before
// it. A sound chunk whose length was left open (-1) runs to the end of a
// file nothing bounds, so such a file is not claimed. The inside of a chunk
// is claimed unread.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "carvers/media/record_run.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kFileHeader = "caff\x00\x01\x00\x00"sv;
constexpr uint64_t kFileHeaderBytes = 8;
constexpr uint64_t kChunkHeaderBytes = 12;
constexpr std::string_view kDescription = "desc";
constexpr uint64_t kDescriptionBytes = 32;
// Larger than any recording worth following.
constexpr uint64_t kMostChunkBytes = 16ull << 30;
constexpr std::array<std::string_view, 18> kChunkTypes = {
    "desc", "data", "pakt", "chan", "info", "free", "kuki", "strg", "mark",
    "regn", "inst", "midi", "ovvw", "peak", "edct", "uuid", "umid", "ldsc"};

bool IsChunkType(std::span<const uint8_t> type) {
  const std::string_view name(reinterpret_cast<const char*>(type.data()), 4);
  return std::find(kChunkTypes.begin(), kChunkTypes.end(), name) != kChunkTypes.end();
}

}  // namespace

void CarveCaf(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  // The description chunk comes first, with its fixed length.
  if (!HeaderHas(header, 0, kFileHeader) || !HeaderHas(header, kFileHeaderBytes, kDescription) ||
      Be64At(header, kFileHeaderBytes + 4) != kDescriptionBytes) {
    return call.Fail();
  }
  RecordRun chunks(call);
  // The file header is taken as a record of its own.
  chunks.Take(kFileHeaderBytes);
  while (chunks.Holds(kChunkHeaderBytes)) {
    const std::span<const uint8_t> chunk = call.Bytes().subspan(chunks.Position());
    if (!IsChunkType(chunk.first(4))) break;
    const uint64_t length = Be64At(chunk, 4);
    // Left open: nothing bounds the file.
    if (length == UINT64_MAX) return call.Fail();
    if (length > kMostChunkBytes || !chunks.Take(kChunkHeaderBytes + length)) break;
  }
  // The description alone is no file.
  if (chunks.FileEnd() <= kFileHeaderBytes + kChunkHeaderBytes + kDescriptionBytes) {
    return call.Fail();
  }
  chunks.Finish();
}

}  // namespace officecarve
