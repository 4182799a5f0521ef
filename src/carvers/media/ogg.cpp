// Ogg streams (Vorbis, Opus, Speex, FLAC, Theora) are runs of pages, each
// with its own length, its stream's serial number and its place in that
// stream. The file is the pages walked from the first while each belongs to
// a stream begun at the file's start (or to the next link of a chained file
// once all of those ended) and comes next in it; the first page that does
// not ends the file before it. The inside of a page is claimed unread.
#include <algorithm>
#include <array>
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

constexpr std::string_view kCapturePattern = "OggS";
constexpr uint64_t kPageHeaderBytes = 27;
constexpr size_t kHeaderTypeOffset = 5;
constexpr size_t kSerialOffset = 14;
constexpr size_t kPageNumberOffset = 18;
constexpr size_t kSegmentCountOffset = 26;
constexpr uint8_t kContinued = 0x01;
constexpr uint8_t kFirstPage = 0x02;
constexpr uint8_t kLastPage = 0x04;
// A file multiplexes a few streams (a picture, a sound, subtitles); more
// than this at once is taken as not Ogg.
constexpr size_t kMostStreams = 16;

struct Stream {
  uint32_t serial = 0;
  uint32_t next_page = 0;
  bool ended = false;
};

class Streams {
 public:
  // Whether a page with this header continues the file, taking it into
  // account when it does.
  bool Take(uint8_t type, uint32_t serial, uint32_t page_number) {
    if ((type & ~(kContinued | kFirstPage | kLastPage)) != 0) return false;
    Stream* stream = Find(serial);
    if ((type & kFirstPage) != 0) {
      // Streams begin together at the start of the file or of a link.
      const bool all_ended = count_ > 0 && std::all_of(streams_.begin(), streams_.begin() + count_,
                                                       [](const Stream& s) { return s.ended; });
      if (stream != nullptr || page_number != 0 || (type & kContinued) != 0) return false;
      if (all_ended) {
        count_ = 0;
        in_first_pages_ = true;
      }
      if (!in_first_pages_ || count_ == kMostStreams) return false;
      stream = &streams_[count_++];
      *stream = {serial, 0, false};
    } else {
      if (stream == nullptr || stream->ended) return false;
      in_first_pages_ = false;
    }
    if (page_number != stream->next_page) return false;
    ++stream->next_page;
    stream->ended = (type & kLastPage) != 0;
    return true;
  }

 private:
  Stream* Find(uint32_t serial) {
    for (size_t i = 0; i < count_; ++i) {
      if (streams_[i].serial == serial) return &streams_[i];
    }
    return nullptr;
  }

  std::array<Stream, kMostStreams> streams_{};
  size_t count_ = 0;
  bool in_first_pages_ = true;
};

}  // namespace

void CarveOgg(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  Streams streams;
  uint64_t position = 0;  // in the buffer
  uint64_t skipped = 0;   // file bytes no longer (or never) in the buffer
  uint64_t file_end = 0;  // after the last page taken
  for (;;) {
    if (!call.ReadUntil(position + kPageHeaderBytes)) break;
    std::span<const uint8_t> bytes = call.Bytes();
    if (!HeaderHas(bytes.subspan(position), 0, kCapturePattern) || bytes[position + 4] != 0) break;
    const uint8_t type = bytes[position + kHeaderTypeOffset];
    const uint32_t serial = Le32At(bytes, position + kSerialOffset);
    const uint32_t page_number = Le32At(bytes, position + kPageNumberOffset);
    const uint8_t segments = bytes[position + kSegmentCountOffset];
    if (!streams.Take(type, serial, page_number)) break;
    const uint64_t table = position + kPageHeaderBytes;
    if (!call.ReadUntil(table + segments)) break;
    bytes = call.Bytes();
    uint64_t rest = 0;
    for (uint64_t segment = 0; segment < segments; ++segment) rest += bytes[table + segment];
    position = table + segments;
    const std::optional<uint64_t> units = call.SkipInsideRecord(position, rest);
    if (!units) break;
    skipped += *units * env.bytes_per_sector;
    if (!call.ReadUntil(position + rest)) break;
    position += rest;
    file_end = position + skipped;
    const uint64_t before = position;
    call.Compact(position);
    skipped += before - position;
  }
  if (file_end == 0) return call.Fail();
  call.TrimTo(file_end);
  call.Complete();
}

}  // namespace officecarve
