#pragma once

#include <cstdint>
#include <span>

namespace officecarve {

// Follows a JPEG's marker structure byte by byte, as it comes out of an
// entry being unpacked, and says when it breaks: a marker segment where
// none can be, or a 0xFF in entropy-coded data followed by a byte no
// encoder writes there. Data unpacked from the wrong bytes breaks it within
// a few hundred bytes, long before a deflate stream of such nearly random
// data shows anything wrong. Output that does not start like a JPEG is
// never judged.
class JpegSyntaxWatch {
 public:
  // A strict watch also rejects what a real picture only rarely holds:
  // comments or application data between scans, and entropy-coded data
  // with few high bytes or long without a 0xFF (a flat picture's). It is
  // for placing gaps, with the lenient one, which rejects only what no
  // picture holds, as the fallback.
  explicit JpegSyntaxWatch(bool strict = false) : strict_(strict) {}

  // False once the bytes seen so far cannot be a JPEG's.
  bool See(std::span<const uint8_t> bytes);

 private:
  enum class State : uint8_t {
    kStart,
    kStartMarker,
    kMarker,
    kMarkerCode,
    kLengthHigh,
    kLengthLow,
    kSegment,
    kEntropy,
    kEntropyMarker,
    kDone,
    kNotJpeg,
  };
  bool Step(uint8_t byte);
  bool CountEntropyByte(uint8_t byte);

  static constexpr uint32_t kWindowBytes = 512;
  static constexpr uint32_t kMostBytesWithoutFf = 2048;

  bool strict_ = false;
  State state_ = State::kStart;
  uint8_t code_ = 0;
  uint32_t left_ = 0;
  bool between_scans_ = false;
  uint32_t window_bytes_ = 0;
  uint32_t high_bytes_ = 0;
  uint32_t since_ff_ = 0;
};

}  // namespace officecarve
