#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "carvers/office/jpeg_syntax_watch.h"
#include "carvers/office/xml_syntax_watch.h"

namespace officecarve {

// A raw deflate stream unpacked piece by piece, with the CRC-32 of its
// output, whose state can be copied to try another continuation from the
// same point. It also says when the output stops making sense as a JPEG or
// as XML, so a gap is seen near where it begins.
class WatchedInflater {
 public:
  WatchedInflater() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~WatchedInflater() {
    if (ok_) inflateEnd(&stream_);
  }
  WatchedInflater(const WatchedInflater&) = delete;
  WatchedInflater& operator=(const WatchedInflater&) = delete;

  // A strict inflater judges its output as a strict JpegSyntaxWatch and an
  // XmlSyntaxWatch do, and stops at a long run of one byte in its input: Huffman-coded data
  // never holds one, and deflate keeps raw only data it cannot compress,
  // which has none either; zeros in a gap unpack without an error.
  bool Reset(bool strict) {
    crc = crc32(0, nullptr, 0);
    ended = false;
    strict_ = strict;
    run_byte_ = 0;
    run_ = 0;
    jpeg_ = JpegSyntaxWatch(strict);
    xml_ = {};
    return ok_ && inflateReset(&stream_) == Z_OK;
  }
  bool CopyFrom(const WatchedInflater& other) {
    if (ok_) inflateEnd(&stream_);
    ok_ = other.ok_ && inflateCopy(&stream_, const_cast<z_stream*>(&other.stream_)) == Z_OK;
    crc = other.crc;
    ended = other.ended;
    strict_ = other.strict_;
    run_byte_ = other.run_byte_;
    run_ = other.run_;
    jpeg_ = other.jpeg_;
    xml_ = other.xml_;
    return ok_;
  }

  // Feeds `input`; false on a data error, on output past `limit` or on
  // input after the stream's end (Consumed() then tells how far it got).
  bool Feed(std::span<const uint8_t> input, uint64_t limit, std::vector<uint8_t>& out) {
    const size_t usable = UsableInput(input);
    return FeedAll(input.first(usable), limit, out) && usable == input.size();
  }
  uint64_t Consumed() const { return stream_.total_in; }
  uint64_t Produced() const { return stream_.total_out; }

  uint32_t crc = 0;
  bool ended = false;

 private:
  static constexpr uint32_t kLongestRun = 128;
  static constexpr size_t kOutputStep = 4 * 1024;

  bool FeedAll(std::span<const uint8_t> input, uint64_t limit, std::vector<uint8_t>& out) {
    size_t at = 0;
    while (at < input.size()) {
      const size_t chunk = std::min<size_t>(input.size() - at, 1u << 30);
      // zlib never writes through next_in.
      stream_.next_in = const_cast<Bytef*>(input.data() + at);
      stream_.avail_in = static_cast<uInt>(chunk);
      while (stream_.avail_in > 0) {
        if (ended) return false;
        // Small output steps, so a picture that stops making sense is
        // caught near the input that broke it.
        const size_t room = std::min(out.size(), kOutputStep);
        stream_.next_out = out.data();
        stream_.avail_out = static_cast<uInt>(room);
        const int result = inflate(&stream_, Z_NO_FLUSH);
        const size_t made = room - stream_.avail_out;
        crc = crc32(crc, out.data(), static_cast<uInt>(made));
        const auto made_bytes = std::span<const uint8_t>(out).first(made);
        if (!jpeg_.See(made_bytes) || (strict_ && !xml_.See(made_bytes))) return false;
        if (result == Z_STREAM_END) {
          ended = true;
        } else if (result != Z_OK) {
          return false;
        }
        if (Produced() > limit) return false;
      }
      at += chunk;
    }
    return true;
  }

  // How much of `input` comes before the end of a run too long to be
  // compressed data (all of it for a lenient inflater).
  size_t UsableInput(std::span<const uint8_t> input) {
    if (!strict_) return input.size();
    for (size_t i = 0; i < input.size(); ++i) {
      run_ = input[i] == run_byte_ ? run_ + 1 : 1;
      run_byte_ = input[i];
      if (run_ >= kLongestRun) return i;
    }
    return input.size();
  }

  z_stream stream_{};
  bool ok_ = false;
  bool strict_ = false;
  uint8_t run_byte_ = 0;
  uint32_t run_ = 0;
  JpegSyntaxWatch jpeg_;
  XmlSyntaxWatch xml_;
};

}  // namespace officecarve
