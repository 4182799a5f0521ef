// Ogg streams (Vorbis, Opus, Speex, FLAC, Theora) are runs of pages, each
// with its own length, its stream's serial number and its place in that
// stream. The file is the pages walked from the first while each belongs to
// a stream begun at the file's start (or to the next link of a chained file
// once all of those ended) and comes next in it; the first page that does
// not ends the file before it. The inside of a page is claimed unread.
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
  RecordRun pages(call);
  while (pages.Holds(kPageHeaderBytes)) {
    const std::span<const uint8_t> page = call.Bytes().subspan(pages.Position());
    if (!HeaderHas(page, 0, kCapturePattern) || page[4] != 0) break;
    const uint8_t segments = page[kSegmentCountOffset];
    if (!streams.Take(page[kHeaderTypeOffset], Le32At(page, kSerialOffset),
                      Le32At(page, kPageNumberOffset)) ||
        !pages.Holds(kPageHeaderBytes + segments)) {
      break;
    }
    const std::span<const uint8_t> lacing =
        call.Bytes().subspan(pages.Position() + kPageHeaderBytes, segments);
    uint64_t body = 0;
    for (const uint8_t length : lacing) body += length;
    if (!pages.Take(kPageHeaderBytes + segments + body)) break;
  }
  pages.Finish();
}

}  // namespace officecarve
