#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "carvers/carvers.h"
#include "carvers/media/audio_tags.h"
#include "carvers/media/declared_size.h"
#include "carvers/media/long_record.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"
#include "scan/mpeg_audio_frame.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

constexpr uint64_t kId3HeaderBytes = 10;
constexpr uint64_t kId3FooterBytes = 10;
constexpr uint8_t kId3FooterFlag = 0x10;
constexpr uint64_t kFrameHeaderBytes = 4;
// Noise after "ID3" may pass for a frame or two; a real file has hundreds.
constexpr uint32_t kMinFrames = 8;
// A tag holds text and a cover picture or two: a few MiB at the most.
constexpr uint64_t kMaxId3TagBytes = 16ull << 20;
// Tags longer than this are claimed unit by unit without being read, so a
// frame must be seen where they end before they are (FrameFollowsTag).
constexpr uint64_t kPeekedTagBytes = 64 << 10;
// 1 GiB is seven hours at 320 kbit/s and over a day at 64 kbit/s: longer
// than any recording kept as one file. A walk past it is not of an MP3.
constexpr uint64_t kMaxAudioBytes = 1ull << 30;

// The size of the ID3v2 tag the header unit starts with, header (and footer)
// included, or nothing when it is not such a tag.
std::optional<uint64_t> Id3TagBytes(std::span<const uint8_t> header) {
  if (header.size() < kId3HeaderBytes || !HeaderHas(header, 0, "ID3"sv)) return std::nullopt;
  const uint8_t major = header[3];
  const uint8_t revision = header[4];
  const uint8_t flags = header[5];
  if (major < 2 || major > 4 || revision == 0xFF || (flags & 0x0F) != 0) return std::nullopt;
  // Four bytes of seven bits each.
  uint64_t size = 0;
  for (size_t i = 6; i < kId3HeaderBytes; ++i) {
    if (header[i] >= 0x80) return std::nullopt;
    size = size << 7 | header[i];
  }
  size += kId3HeaderBytes;
  if (major == 4 && (flags & kId3FooterFlag) != 0) size += kId3FooterBytes;
  return size;
}

bool FitsInRange(const CarverEnv& env, int64_t offset, uint64_t bytes) {
  const uint64_t range_end = static_cast<uint64_t>(env.range_last + 1) * env.bytes_per_sector;
  return static_cast<uint64_t>(offset) <= range_end && bytes <= range_end - offset;
}

// Whether a frame header lies where a tag of `tag_bytes` ends when the file
// is contiguous. Asked before a long tag is claimed unit by unit, so noise
// that declares a tag of megabytes costs one read, not thousands of claims.
// A file with another file's units inside its tag is given up.
bool FrameFollowsTag(CarverEnv& env, int64_t offset, uint64_t tag_bytes) {
  if (!FitsInRange(env, offset, tag_bytes + kFrameHeaderBytes)) return false;
  // Whole units, which are served even next to a unit that cannot be read.
  const uint64_t unit_bytes = env.bytes_per_sector;
  const uint64_t within = tag_bytes % unit_bytes;
  const uint64_t read_bytes = within + kFrameHeaderBytes > unit_bytes ? 2 * unit_bytes : unit_bytes;
  if (!FitsInRange(env, offset, tag_bytes - within + read_bytes)) return false;
  std::vector<uint8_t> units(static_cast<size_t>(read_bytes));
  if (env.source.ReadAt(units.data(), static_cast<uint32_t>(read_bytes),
                        offset + static_cast<int64_t>(tag_bytes - within)) != 0) {
    return false;
  }
  return ParseMpegAudioFrame(Be32At(units, within)).has_value();
}

}  // namespace

void CarveMp3(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  // Files that encoders wrote without an ID3v2 tag start with their first
  // frame.
  const bool tagged = HeaderHas(call.Bytes(), 0, "ID3"sv);
  const std::optional<uint64_t> tag_bytes =
      tagged ? Id3TagBytes(call.Bytes()) : std::optional<uint64_t>(0);
  if (!tag_bytes || *tag_bytes > kMaxId3TagBytes) return call.Fail();
  if (*tag_bytes > kPeekedTagBytes && !FrameFollowsTag(env, offset, *tag_bytes)) return call.Fail();

  uint64_t buffer_position = 0;
  uint64_t file_position = 0;
  uint64_t size = *tag_bytes;
  if (!HoldLongRecord(call, buffer_position, size, file_position)) return call.Fail();
  buffer_position += size;
  file_position += size;

  // Frames while they keep the first frame's version, layer and sample rate.
  std::optional<MpegAudioFrame> first;
  uint32_t frames = 0;
  bool held = false;
  while (true) {
    if (!HoldOrRangeEnd(call, buffer_position + kFrameHeaderBytes, held)) return call.Fail();
    if (!held) break;
    const std::optional<MpegAudioFrame> frame =
        ParseMpegAudioFrame(Be32At(call.Bytes(), buffer_position));
    if (!frame || (first && !frame->SameStreamAs(*first))) break;
    if (!HoldOrRangeEnd(call, buffer_position + frame->length, held)) return call.Fail();
    if (!held) break;
    if (!first) first = frame;
    ++frames;
    buffer_position += frame->length;
    file_position += frame->length;
    if (file_position > kMaxAudioBytes) return call.Fail();
    call.Compact(buffer_position);
  }
  if (frames < kMinFrames) return call.Fail();

  // Tags after the audio: an APE tag, then ID3v1.
  if (held && (!TakeApeTag(call, buffer_position, file_position) ||
               !TakeId3v1Tag(call, buffer_position, file_position))) {
    return call.Fail();
  }
  call.TrimTo(file_position);
  call.Complete();
}

}  // namespace officecarve
