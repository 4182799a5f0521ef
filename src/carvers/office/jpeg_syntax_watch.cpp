#include "carvers/office/jpeg_syntax_watch.h"

namespace officecarve {
namespace {

constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kEndOfImage = 0xD9;

bool StandsAlone(uint8_t code) { return code == 0x01 || (code >= 0xD0 && code <= 0xD8); }

// Markers that carry a segment: frames, tables, scans, restart interval,
// comments and application data.
bool HasSegment(uint8_t code) {
  return (code >= 0xC0 && code <= 0xCF) || (code >= 0xDA && code <= 0xDF) ||
         (code >= 0xE0 && code <= 0xEF) || code == 0xFE;
}

// Between the scans of a progressive picture only tables, restart intervals
// and the next scan's header come, each of a length its content bounds.
bool FitsBetweenScans(uint8_t code, uint32_t length) {
  switch (code) {
    case 0xC4:
      return length <= 2 + 4 * (17 + 256);
    case 0xDA:
      return length >= 8 && length <= 14 && length % 2 == 0;
    case 0xDB:
      return length <= 2 + 4 * 129;
    case 0xDD:
      return length == 4;
    default:
      return false;
  }
}

}  // namespace

bool JpegSyntaxWatch::See(std::span<const uint8_t> bytes) {
  for (const uint8_t byte : bytes) {
    if (state_ == State::kNotJpeg || state_ == State::kDone) return true;
    if (!Step(byte)) return false;
  }
  return true;
}

bool JpegSyntaxWatch::CountEntropyByte(uint8_t byte) {
  // Huffman-coded data of a detailed picture is close to random: about half
  // its bytes have the top bit set, while text, zeros and most other data
  // put in its place have few. A flat picture codes to long runs of low
  // bytes, so only a strict watch judges this.
  // Its 0xFF bytes (each stuffed with a zero) come about every 256 bytes,
  // and data unpacked from the wrong place often has none.
  if (byte >= 0x80) ++high_bytes_;
  since_ff_ = byte == 0xFF ? 0 : since_ff_ + 1;
  if (strict_ && since_ff_ > kMostBytesWithoutFf) return false;
  if (++window_bytes_ < kWindowBytes) return true;
  const bool plausible = !strict_ || high_bytes_ >= kWindowBytes / 16;
  window_bytes_ = 0;
  high_bytes_ = 0;
  return plausible;
}

bool JpegSyntaxWatch::Step(uint8_t byte) {
  switch (state_) {
    case State::kStart:
      state_ = byte == 0xFF ? State::kStartMarker : State::kNotJpeg;
      return true;
    case State::kStartMarker:
      state_ = byte == 0xD8 ? State::kMarker : State::kNotJpeg;
      return true;
    case State::kMarker:
      if (byte != 0xFF) return false;
      state_ = State::kMarkerCode;
      return true;
    case State::kMarkerCode:
      if (byte == 0xFF) return true;
      if (byte == kEndOfImage) {
        state_ = State::kDone;
      } else if (StandsAlone(byte)) {
        state_ = State::kMarker;
      } else if (HasSegment(byte)) {
        code_ = byte;
        state_ = State::kLengthHigh;
      } else {
        return false;
      }
      return true;
    case State::kLengthHigh:
      left_ = uint32_t{byte} << 8;
      state_ = State::kLengthLow;
      return true;
    case State::kLengthLow:
      left_ |= byte;
      if (left_ < 2 || (between_scans_ && !FitsBetweenScans(code_, left_))) return false;
      left_ -= 2;
      state_ =
          left_ > 0 ? State::kSegment : (code_ == kStartOfScan ? State::kEntropy : State::kMarker);
      return true;
    case State::kSegment:
      if (--left_ == 0) state_ = code_ == kStartOfScan ? State::kEntropy : State::kMarker;
      return true;
    case State::kEntropy:
      if (byte == 0xFF) state_ = State::kEntropyMarker;
      return CountEntropyByte(byte);
    case State::kEntropyMarker:
      // Stuffed zero, restart marker or fill byte; or the next marker.
      if (byte == 0x00 || (byte >= 0xD0 && byte <= 0xD7)) {
        state_ = State::kEntropy;
      } else if (byte == 0xFF) {
        return true;
      } else if (byte == kEndOfImage) {
        state_ = State::kDone;
      } else if (byte == 0xC4 || byte == 0xDA || byte == 0xDB || byte == 0xDD) {
        code_ = byte;
        between_scans_ = strict_;
        state_ = State::kLengthHigh;
      } else if (!strict_ && HasSegment(byte)) {
        code_ = byte;
        state_ = State::kLengthHigh;
      } else {
        return false;
      }
      return true;
    case State::kDone:
    case State::kNotJpeg:
      return true;
  }
  return true;
}

}  // namespace officecarve
