// PDF files: the text is scanned for the last trailer, "startxref", the
// offset of the cross-reference section and "%%EOF", each on its own line.
// An "xref" right after the end marker starts an appended update, so the
// scan goes on past it; anything else means the file ends before it. The
// file is only claimed.
#include <cstring>
#include <optional>
#include <string_view>

#include "carvers/carvers.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr std::string_view kPdfMagic = "%PDF-";
constexpr std::string_view kStartXref = "startxref";
constexpr std::string_view kEndMarker = "%%EOF";
constexpr std::string_view kXref = "xref";
// The header line and the binary comment usually after it hold no trailer.
constexpr uint64_t kScanStart = 20;
// No longer file is looked for.
constexpr uint64_t kMaxHeldBytes = 200ull * 1024 * 1024;

constexpr bool IsLineBreak(uint8_t byte) { return byte == '\r' || byte == '\n'; }

enum class State {
  kInLine,
  kLineStart,
  kAfterKeyword,
  kBeforeNumber,
  kInNumber,
  kAfterNumber,
  kAfterEndMarker,
};

// Walks the held bytes, reading more only when the scan reaches their end.
class PdfEndScanner {
 public:
  explicit PdfEndScanner(CarverCall& call) : call_(call) { Refresh(); }

  // The file's length up to and including the line breaks after its last
  // end marker; nothing when the end is not found within the scan range, the
  // readable units or the bytes we are willing to take.
  std::optional<uint64_t> FindEnd();

 private:
  // Past the held bytes, in the middle of a line, only a "startxref" can
  // change the state: the units before the two that end with the next one
  // are claimed unread, and the scan goes on from the start of those two,
  // which hold the keyword and the byte before it. False when there is none
  // within the bound, the range or the readable units.
  bool SkipToNextKeyword();

  void Refresh() {
    bytes_ = call_.Bytes().data();
    held_ = call_.Held();
  }
  bool Hold(uint64_t count) {
    if (count <= held_) return true;
    const bool held = call_.ReadUntil(count);
    Refresh();
    return held;
  }
  // The first line break among the held bytes from `from` on, else held_.
  uint64_t NextLineBreak(uint64_t from) const {
    const uint8_t* const begin = bytes_ + from;
    const size_t count = static_cast<size_t>(held_ - from);
    const void* const feed = std::memchr(begin, '\n', count);
    const size_t before_feed =
        feed == nullptr ? count : static_cast<size_t>(static_cast<const uint8_t*>(feed) - begin);
    const void* const carriage = std::memchr(begin, '\r', before_feed);
    return from + (carriage == nullptr
                       ? before_feed
                       : static_cast<size_t>(static_cast<const uint8_t*>(carriage) - begin));
  }
  bool TextAt(uint64_t position, std::string_view text) const {
    return std::memcmp(bytes_ + position, text.data(), text.size()) == 0;
  }

  CarverCall& call_;
  const uint8_t* bytes_ = nullptr;
  uint64_t held_ = 0;
  uint64_t skipped_bytes_ = 0;
};

bool PdfEndScanner::SkipToNextKeyword() {
  const uint64_t unit_bytes = call_.Env().bytes_per_sector;
  const uint64_t taken = held_ + skipped_bytes_;
  if (taken > kMaxHeldBytes) return false;
  const CarverCall::Ahead ahead =
      call_.FindAhead(kStartXref, {}, (kMaxHeldBytes - taken) / unit_bytes + 1);
  if (ahead.outcome != CarverCall::Ahead::Outcome::kFound) return false;
  if (ahead.units <= 2) return true;
  if (!call_.SkipClaimUnits(ahead.units - 2)) return false;
  skipped_bytes_ += (ahead.units - 2) * unit_bytes;
  if (ahead.units - 2 >= CarverCall::kProgressEveryUnits) call_.ShowProgress();
  return true;
}

std::optional<uint64_t> PdfEndScanner::FindEnd() {
  State state = State::kInLine;
  // Only whether the offset is exactly "0" matters: such a trailer belongs to
  // a linearised file's first page section, not to the file's end.
  bool offset_is_zero = false;
  uint64_t position = kScanStart;
  while (true) {
    if (held_ + skipped_bytes_ > kMaxHeldBytes) return std::nullopt;
    if (!Hold(position + 1)) return std::nullopt;
    const uint8_t byte = bytes_[position];
    const bool line_break = IsLineBreak(byte);
    switch (state) {
      case State::kInLine:
        // Most of a file is here: run to the next line break in one go.
        position = NextLineBreak(position);
        if (position < held_) {
          ++position;
          state = State::kLineStart;
        } else if (!SkipToNextKeyword()) {
          return std::nullopt;
        }
        break;
      case State::kLineStart:
        if (line_break) {
          ++position;
        } else {
          if (!Hold(position + kStartXref.size())) return std::nullopt;
          if (TextAt(position, kStartXref)) {
            position += kStartXref.size();
            state = State::kAfterKeyword;
          } else {
            ++position;
            state = State::kInLine;
          }
        }
        break;
      case State::kAfterKeyword:
        // Anything but a line break is looked at again as ordinary text.
        if (line_break) {
          ++position;
          state = State::kBeforeNumber;
        } else {
          state = State::kInLine;
        }
        break;
      case State::kBeforeNumber:
        ++position;
        if (byte >= '0' && byte <= '9') {
          offset_is_zero = byte == '0';
          state = State::kInNumber;
        } else if (!line_break) {
          state = State::kInLine;
        }
        break;
      case State::kInNumber:
        ++position;
        if (byte >= '0' && byte <= '9') {
          offset_is_zero = false;
        } else {
          state = line_break ? State::kAfterNumber : State::kInLine;
        }
        break;
      case State::kAfterNumber:
        if (line_break) {
          ++position;
        } else {
          if (!Hold(position + kEndMarker.size())) return std::nullopt;
          if (!offset_is_zero && TextAt(position, kEndMarker)) {
            position += kEndMarker.size();
            state = State::kAfterEndMarker;
          } else {
            ++position;
            state = State::kInLine;
          }
        }
        break;
      case State::kAfterEndMarker:
        if (line_break) {
          ++position;
        } else {
          // Bytes past the range or unreadable cannot start an update: the
          // file ends here all the same.
          if (!Hold(position + kXref.size()) || !TextAt(position, kXref)) {
            return position + skipped_bytes_;
          }
          position += kXref.size();
          state = State::kInLine;
        }
        break;
    }
  }
}

}  // namespace

void CarvePdf(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const auto header = call.Bytes();
  if (header.size() < kPdfMagic.size() ||
      std::memcmp(header.data(), kPdfMagic.data(), kPdfMagic.size()) != 0) {
    return call.Fail();
  }
  const std::optional<uint64_t> end = PdfEndScanner(call).FindEnd();
  if (!end) return call.Fail();
  // Units read to see what follows the end marker are not the file's.
  call.TrimTo(*end);
  call.Complete();
}

}  // namespace officecarve
