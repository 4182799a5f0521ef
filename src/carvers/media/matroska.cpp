#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/ebml_element.h"
#include "carvers/media/long_record.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

constexpr uint32_t kEbmlHeaderId = 0x1A45DFA3;
constexpr uint32_t kDocTypeId = 0x4282;
constexpr uint32_t kSegmentId = 0x18538067;
constexpr uint32_t kClusterId = 0x1F43B675;
constexpr uint32_t kTimestampId = 0xE7;
constexpr uint32_t kSimpleBlockId = 0xA3;
constexpr uint32_t kBlockGroupId = 0xA0;
constexpr uint32_t kBlockId = 0xA1;
constexpr uint32_t kVoidId = 0xEC;
constexpr uint32_t kCrc32Id = 0xBF;
constexpr uint64_t kMiB = 1 << 20;

// The EBML header names the document type in a few dozen bytes; with the
// segment's header after it, it must lie in the header unit.
constexpr uint64_t kMaxEbmlHeaderBytes = 256;
constexpr uint64_t kMaxDocTypeBytes = 16;
// A remux of an ultra-high-definition disc is about 100 GB.
constexpr uint64_t kMaxSegmentBytes = 256ull << 30;

struct ElementLimit {
  uint32_t id;
  uint64_t max_bytes;
};

// What a segment holds at its top level, each with the most it holds in a
// real file. Clusters carry a few seconds (muxers close them at 5 s or
// 5 MiB); attachments carry fonts and pictures.
constexpr std::array<ElementLimit, 10> kTopLevel = {{
    {0x114D9B74, 1 * kMiB},    // SeekHead
    {0x1549A966, 1 * kMiB},    // Info
    {0x1654AE6B, 16 * kMiB},   // Tracks
    {kClusterId, 128 * kMiB},  // Cluster
    {0x1C53BB6B, 64 * kMiB},   // Cues
    {0x1254C367, 64 * kMiB},   // Tags
    {0x1043A770, 16 * kMiB},   // Chapters
    {0x1941A469, 512 * kMiB},  // Attachments
    {kVoidId, 16 * kMiB},      // reserved space
    {kCrc32Id, 4},
}};

// The children of a cluster whose size is unknown (live recordings), which
// the walk reads one by one to find where the cluster ends.
constexpr std::array<ElementLimit, 6> kClusterChildren = {{
    {kTimestampId, 8},
    {0xA7, 8},  // Position
    {0xAB, 8},  // PrevSize
    {kSimpleBlockId, 32 * kMiB},
    {kBlockGroupId, 32 * kMiB},
    {kCrc32Id, 4},
}};

template <size_t N>
std::optional<uint64_t> LimitOf(const std::array<ElementLimit, N>& table, uint32_t id) {
  const auto found = std::find_if(table.begin(), table.end(),
                                  [id](const ElementLimit& limit) { return limit.id == id; });
  if (found == table.end()) return std::nullopt;
  return found->max_bytes;
}

// The EBML header at byte 0 names a Matroska or WebM document; the size of
// the header element, or nothing.
std::optional<uint64_t> MatroskaHeaderBytes(std::span<const uint8_t> bytes) {
  const std::optional<EbmlElement> header = ReadEbmlElement(bytes, 0);
  if (!header || header->id != kEbmlHeaderId || header->unknown_size ||
      header->size > kMaxEbmlHeaderBytes) {
    return std::nullopt;
  }
  const uint64_t end = header->header_bytes + header->size;
  if (end > bytes.size()) return std::nullopt;
  const std::span<const uint8_t> inside = bytes.first(static_cast<size_t>(end));
  for (uint64_t at = header->header_bytes; at < end;) {
    const std::optional<EbmlElement> child = ReadEbmlElement(inside, at);
    if (!child || child->unknown_size || child->size > end - at - child->header_bytes) break;
    const uint64_t value_at = at + child->header_bytes;
    if (child->id == kDocTypeId && child->size <= kMaxDocTypeBytes) {
      std::string_view type(reinterpret_cast<const char*>(inside.data() + value_at),
                            static_cast<size_t>(child->size));
      // Strings may be padded with zero bytes.
      type = type.substr(0, type.find('\0'));
      if (type == "matroska"sv || type == "webm"sv) return end;
      return std::nullopt;
    }
    at = value_at + child->size;
  }
  return std::nullopt;
}

// A block (in a SimpleBlock or a Block) at `at` starts with a one-byte track
// number and a 16-bit time, then flags whose `reserved` bits are clear. Live
// clusters end at the first element that is not theirs, and this keeps noise
// after the last one from passing for a block.
bool IsBlockStart(std::span<const uint8_t> bytes, uint64_t at, uint8_t reserved) {
  if (bytes.size() < at + 4) return false;
  const uint8_t track = bytes[at];
  return track > 0x80 && track < 0xFF && (bytes[at + 3] & reserved) == 0;
}

// Walks the top-level elements of a segment from `start` (the file offset
// just after the segment's header) and ends the call: the file ends where
// the segment's declared size says, or, for a segment of unknown size, before
// the first element that is not one of its own.
class SegmentWalk {
 public:
  // `room` is what the range holds from the file's first byte on.
  SegmentWalk(CarverCall& call, uint64_t start, uint64_t room)
      : call_(call), room_(room), buffer_position_(start), file_position_(start) {}

  // False when the segment cannot fit in the range or runs past any real
  // file: it is not claimed unit by unit to find that out.
  bool TakeSegmentSize(uint64_t size) {
    if (size > kMaxSegmentBytes || size > room_ - std::min(room_, file_position_)) return false;
    segment_end_ = file_position_ + size;
    return true;
  }

  void Run() {
    Step step = Step::kNext;
    while (step == Step::kNext) {
      if (segment_end_ && file_position_ == *segment_end_) return End();
      if (file_position_ > kMaxSegmentBytes) return call_.Fail();
      if (!Hold(buffer_position_ + EbmlElement::kLongestHeader)) return call_.Fail();
      const std::optional<EbmlElement> element = ReadEbmlElement(call_.Bytes(), buffer_position_);
      if (!element) {
        step = NotOurs();
      } else if (in_live_cluster_ && IsClusterChild(*element)) {
        step = Pass(*element);
      } else {
        // A live cluster ends before anything that is not its own.
        in_live_cluster_ = false;
        step = TopLevel(*element);
      }
      if (unreadable_) step = Step::kFail;
    }
    if (step == Step::kEnd) return End();
    call_.Fail();
  }

 private:
  enum class Step { kNext, kEnd, kFail };

  // Makes the buffer hold `bytes` where the range allows; false when a unit
  // could not be read (later reads would step over it as claimed).
  bool Hold(uint64_t bytes) {
    if (unreadable_) return false;
    call_.ReadUntil(bytes);
    unreadable_ = call_.LastStop() == CarverCall::Stop::kShortRead;
    return !unreadable_;
  }

  // What follows is not part of the segment: a segment of known size is
  // broken, one of unknown size has ended.
  Step NotOurs() const { return segment_end_ ? Step::kFail : Step::kEnd; }

  void End() {
    if (!has_frames_) return call_.Fail();
    call_.TrimTo(file_position_);
    call_.Complete();
  }

  Step TopLevel(const EbmlElement& element) {
    const std::optional<uint64_t> limit = LimitOf(kTopLevel, element.id);
    if (!limit) return NotOurs();
    // One-byte IDs are too likely in noise to carry a live segment on once
    // its clusters have begun.
    if (!segment_end_ && clusters_begun_ && element.id <= 0xFF) return Step::kEnd;
    if (element.id == kClusterId) {
      if (!Hold(buffer_position_ + element.header_bytes + 1)) return Step::kFail;
      if (!StartsWithTimestamp(buffer_position_ + element.header_bytes)) return NotOurs();
      clusters_begun_ = true;
      if (element.unknown_size) {
        // Its children are walked one by one.
        in_live_cluster_ = true;
        buffer_position_ += element.header_bytes;
        file_position_ += element.header_bytes;
        return Step::kNext;
      }
    }
    if (element.unknown_size || element.size > *limit) return NotOurs();
    return Pass(element);
  }

  bool StartsWithTimestamp(uint64_t at) const {
    const std::span<const uint8_t> bytes = call_.Bytes();
    return at < bytes.size() && (bytes[at] == kTimestampId || bytes[at] == kCrc32Id);
  }

  bool IsClusterChild(const EbmlElement& element) {
    const std::optional<uint64_t> limit = LimitOf(kClusterChildren, element.id);
    if (!limit || element.unknown_size || element.size > *limit) return false;
    const uint64_t inside = buffer_position_ + element.header_bytes;
    if (element.id == kSimpleBlockId) {
      // Keyframe, invisible, lacing and discardable flags; 0x70 is reserved.
      return Hold(inside + 4) && element.size >= 4 && IsBlockStart(call_.Bytes(), inside, 0x70);
    }
    if (element.id == kBlockGroupId) {
      if (!Hold(inside + EbmlElement::kLongestHeader + 4)) return false;
      const std::optional<EbmlElement> block = ReadEbmlElement(call_.Bytes(), inside);
      // Invisible and lacing flags; the other bits are reserved.
      return block && block->id == kBlockId && !block->unknown_size && block->size >= 4 &&
             block->size <= element.size - std::min<uint64_t>(block->header_bytes, element.size) &&
             IsBlockStart(call_.Bytes(), inside + block->header_bytes, 0xF1);
    }
    return true;
  }

  // Takes the element whose header is at the buffer position into the file,
  // covering a long one with skip claims.
  Step Pass(const EbmlElement& element) {
    uint64_t size = element.header_bytes + element.size;
    if (segment_end_ && size > *segment_end_ - file_position_) return Step::kFail;
    if (size > room_ - std::min(room_, file_position_)) return NotOurs();
    const uint64_t element_start = file_position_;
    if (!HoldLongRecord(call_, buffer_position_, size, file_position_)) {
      if (call_.LastStop() == CarverCall::Stop::kShortRead) return Step::kFail;
      // Cut off by the range end: the file ends with its last whole element.
      file_position_ = element_start;
      return NotOurs();
    }
    buffer_position_ += size;
    file_position_ += size;
    if (element.id == kClusterId || in_live_cluster_) has_frames_ = true;
    call_.Compact(buffer_position_);
    return Step::kNext;
  }

  CarverCall& call_;
  const uint64_t room_;
  uint64_t buffer_position_;
  uint64_t file_position_;
  std::optional<uint64_t> segment_end_;
  bool clusters_begun_ = false;
  // A whole cluster, or a child of a live one, has been taken.
  bool has_frames_ = false;
  bool in_live_cluster_ = false;
  bool unreadable_ = false;
};

}  // namespace

void CarveMatroska(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::optional<uint64_t> header_bytes = MatroskaHeaderBytes(call.Bytes());
  if (!header_bytes) return call.Fail();
  const std::optional<EbmlElement> segment = ReadEbmlElement(call.Bytes(), *header_bytes);
  if (!segment || segment->id != kSegmentId) return call.Fail();
  const auto range_end =
      static_cast<uint64_t>(std::max<int64_t>(env.range_last + 1, 0)) * env.bytes_per_sector;
  SegmentWalk walk(call, *header_bytes + segment->header_bytes,
                   range_end - std::min(range_end, static_cast<uint64_t>(offset)));
  if (!segment->unknown_size && !walk.TakeSegmentSize(segment->size)) return call.Fail();
  walk.Run();
}

}  // namespace officecarve
