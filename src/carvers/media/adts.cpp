// Raw AAC streams are runs of ADTS frames, each headed by a sync word and
// its own length. The file is the frames walked from the first while each
// header repeats the first one's fixed fields (version, profile, sample
// rate, channels); the first that does not ends the file before it, and a
// trailing ID3v1 tag belongs to the file.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "scan/adts_frame.h"
#include "scan/carver_frame.h"

namespace officecarve {

namespace {

constexpr std::string_view kId3v1Tag = "TAG";
constexpr uint64_t kId3v1Bytes = 128;

}  // namespace

void CarveAdts(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::optional<AdtsFrame> first = ReadAdtsFrame(call.Bytes(), 0);
  if (!first) return call.Fail();
  uint64_t position = 0;  // in the buffer
  uint64_t skipped = 0;   // file bytes no longer in the buffer
  uint64_t file_end = 0;  // after the last frame taken
  for (;;) {
    if (!call.ReadUntil(position + kAdtsHeaderBytes)) break;
    const std::optional<AdtsFrame> frame = ReadAdtsFrame(call.Bytes(), position);
    if (!frame || frame->fixed != first->fixed) break;
    if (!call.ReadUntil(position + frame->bytes)) break;
    position += frame->bytes;
    file_end = position + skipped;
    const uint64_t before = position;
    call.Compact(position);
    skipped += before - position;
  }
  // A stream of one frame is no stream: a sync word and a length that
  // happen to fit.
  if (file_end <= first->bytes) return call.Fail();
  if (call.ReadUntil(position + kId3v1Bytes) &&
      HeaderHas(call.Bytes().subspan(position), 0, kId3v1Tag)) {
    file_end += kId3v1Bytes;
  }
  call.TrimTo(file_end);
  call.Complete();
}

}  // namespace officecarve
