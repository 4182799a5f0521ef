#include "carvers/media/tiff_walk.h"

#include <algorithm>

#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr uint64_t kDirectoryHeaderBytes = 2;
constexpr uint64_t kEntryBytes = 12;
constexpr uint64_t kNextLinkBytes = 4;
// Where an entry keeps its value (or its elements, when they fit in four bytes).
constexpr uint64_t kValueFieldAt = 8;
constexpr uint64_t kValueFieldBytes = 4;
// A strip offsets value that says the offsets follow from tag 280.
constexpr uint32_t kUnknownOffsets = 0xFFFFFFFF;

enum Tag : uint16_t {
  kStripOffsets = 273,
  kStripByteCounts = 279,
  kStripOffsetsStart = 280,
  kFreeOffsets = 288,
  kFreeByteCounts = 289,
  kTileOffsets = 324,
  kTileByteCounts = 325,
  kSubDirectories = 330,
  kGlobalParameters = 400,
  kExifDirectory = 34665,
  kGpsDirectory = 34853,
  kInteroperabilityDirectory = 40965,
  kMakerDirectory = 50933,
};

// Offset and length tags of the embedded pictures and previews.
struct OffsetLengthPair {
  uint16_t offset_tag;
  uint16_t length_tag;
};
constexpr std::array<OffsetLengthPair, 3> kOffsetLengthPairs = {{
    {513, 514},
    {48320, 48321},
    {48322, 48323},
}};

// Bytes per element of field types 0 to 12; other types count as 0, so
// their entries are ignored.
constexpr std::array<uint8_t, 13> kElementSizes = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

uint32_t ElementSize(uint16_t type) {
  return type < kElementSizes.size() ? kElementSizes[type] : 0;
}

bool IsSegmentElementSize(uint32_t size) { return size == 2 || size == 4; }

}  // namespace

bool TiffWalk::Run(uint32_t first_directory) {
  reached_ = call_.Held();
  if (!WalkChain(first_directory, 0) || unreadable_) return false;
  // The picture is claimed, not held: nothing looks at its data, and camera
  // raw files run to tens of megabytes.
  const uint64_t unit_bytes = call_.Env().bytes_per_sector;
  return call_.ClaimReadableUnits((reached_ - call_.Held()) / unit_bytes);
}

bool TiffWalk::Reach(uint64_t end) {
  if (end > kMaxFileBytes) return false;
  if (end <= reached_) return true;
  const uint64_t unit_bytes = call_.Env().bytes_per_sector;
  const uint64_t units = (end - call_.Held() + unit_bytes - 1) / unit_bytes;
  if (call_.UnitAhead(units - 1) < 0) return false;
  reached_ = call_.Held() + units * unit_bytes;
  return true;
}

uint8_t TiffWalk::ByteAt(uint64_t at) {
  const auto held = call_.Bytes();
  if (at < held.size()) return held[at];
  const uint64_t unit_bytes = call_.Env().bytes_per_sector;
  const uint64_t start = at / unit_bytes * unit_bytes;
  for (const PeekedUnit& unit : peeked_) {
    if (unit.start == start) return unit.bytes[at - start];
  }
  // Past the reached units reads as zero, as past the held ones did.
  if (at >= reached_) return 0;
  PeekedUnit& unit = peeked_[next_peek_slot_];
  next_peek_slot_ = (next_peek_slot_ + 1) % peeked_.size();
  unit.bytes.resize(unit_bytes);
  unit.start = UINT64_MAX;
  if (!call_.PeekAt(start, unit.bytes)) {
    unreadable_ = true;
    return 0;
  }
  unit.start = start;
  return unit.bytes[at - start];
}

uint16_t TiffWalk::Read16(uint64_t at) {
  const uint16_t first = ByteAt(at);
  const uint16_t second = ByteAt(at + 1);
  return order_ == TiffByteOrder::kLittle ? static_cast<uint16_t>(first | (second << 8))
                                          : static_cast<uint16_t>((first << 8) | second);
}

uint32_t TiffWalk::Read32(uint64_t at) {
  const uint32_t first = Read16(at);
  const uint32_t second = Read16(at + 2);
  return order_ == TiffByteOrder::kLittle ? first | (second << 16) : (first << 16) | second;
}

uint32_t TiffWalk::ReadElement(const Elements& elements, uint32_t index) {
  const uint64_t at = elements.at + uint64_t{index} * elements.element_size;
  return elements.element_size == 2 ? Read16(at) : Read32(at);
}

TiffWalk::Elements TiffWalk::ElementsOf(const Entry& entry) {
  return {entry.count, entry.element_size,
          entry.size > kValueFieldBytes ? entry.value : entry.at + kValueFieldAt};
}

void TiffWalk::Record(OffsetsRecord& record, const Entry& entry) {
  record.state = RecordState::kRecorded;
  record.elements = ElementsOf(entry);
}

bool TiffWalk::WalkChain(uint32_t directory, int depth) {
  ChainState state;
  uint32_t offset = directory;
  while (true) {
    // A directory met twice means a loop (or a file built to make us work);
    // either way the walk cannot be trusted.
    if (!visited_.insert(offset).second || visited_.size() > kMaxDirectories) return false;
    const uint64_t at = offset;
    if (!Reach(at + kDirectoryHeaderBytes)) return false;
    const uint16_t entry_count = Read16(at);
    entries_visited_ += entry_count;
    if (entries_visited_ > kMaxEntries) return false;
    const uint64_t first_entry = at + kDirectoryHeaderBytes;
    const uint64_t link_at = first_entry + kEntryBytes * entry_count;
    if (!Reach(link_at + kNextLinkBytes)) return false;
    const bool must_be_sorted = entry_count > kMaxUnsortedEntries;
    uint32_t previous_tag = 0;
    for (uint32_t i = 0; i < entry_count; ++i) {
      Entry entry;
      entry.at = first_entry + kEntryBytes * i;
      entry.tag = Read16(entry.at);
      if (must_be_sorted && i > 0 && entry.tag <= previous_tag) return false;
      previous_tag = entry.tag;
      entry.element_size = ElementSize(Read16(entry.at + 2));
      entry.count = Read32(entry.at + 4);
      entry.value = Read32(entry.at + kValueFieldAt);
      // 64 bits: a 32-bit count times 8 must not wrap into a small size.
      entry.size = uint64_t{entry.count} * entry.element_size;
      if (entry.size == 0) continue;
      if (!VisitEntry(entry, state, depth)) return false;
    }
    offset = Read32(link_at);
    if (offset == 0) return true;
  }
}

bool TiffWalk::VisitEntry(const Entry& entry, ChainState& state, int depth) {
  if (entry.size > kValueFieldBytes && !Reach(uint64_t{entry.value} + entry.size)) return false;
  switch (entry.tag) {
    case kStripOffsets:
      Record(state.strips, entry);
      if (entry.value == kUnknownOffsets) state.strips.state = RecordState::kUnknown;
      return true;
    case kStripByteCounts:
      return state.strips.state != RecordState::kRecorded || CheckSegments(state.strips, entry);
    case kStripOffsetsStart:
      // Holds the data before the offset it names, where the strip offsets
      // then lie. Bounded like every other item, so a hostile value cannot
      // make us read gigabytes.
      if (state.strips.state != RecordState::kUnknown) return true;
      if (!Reach(entry.value)) return false;
      state.strips.elements.at = entry.value;
      state.strips.state = RecordState::kRecorded;
      return true;
    case kFreeOffsets:
      Record(state.free_areas, entry);
      return true;
    case kFreeByteCounts:
      return state.free_areas.state != RecordState::kRecorded ||
             CheckSegments(state.free_areas, entry);
    case kTileOffsets:
      Record(state.tiles, entry);
      return true;
    case kTileByteCounts:
      return state.tiles.state != RecordState::kRecorded || CheckSegments(state.tiles, entry);
    case kSubDirectories:
    case kGlobalParameters:
    case kExifDirectory:
    case kGpsDirectory:
    case kInteroperabilityDirectory:
    case kMakerDirectory:
      return WalkSubDirectories(entry, depth);
    default:
      break;
  }
  for (size_t pair = 0; pair < kOffsetLengthPairs.size(); ++pair) {
    if (entry.tag == kOffsetLengthPairs[pair].offset_tag) {
      state.pair_offsets[pair] = entry.value;
      return true;
    }
    // A length whose offset this chain has not named is not checked.
    if (entry.tag == kOffsetLengthPairs[pair].length_tag && state.pair_offsets[pair]) {
      return Reach(uint64_t{*state.pair_offsets[pair]} + entry.value);
    }
  }
  return true;
}

bool TiffWalk::WalkSubDirectories(const Entry& entry, int depth) {
  if (depth >= kMaxSubDirectoryDepth) return false;
  if (entry.count == 1) return WalkChain(entry.value, depth + 1);
  // The directory offsets are 32-bit words at the value, whatever the type said.
  if (!Reach(uint64_t{entry.value} + uint64_t{entry.count} * 4)) return false;
  for (uint32_t i = 0; i < entry.count; ++i) {
    if (!WalkChain(Read32(uint64_t{entry.value} + uint64_t{i} * 4), depth + 1)) return false;
  }
  return true;
}

bool TiffWalk::CheckSegments(const OffsetsRecord& offsets, const Entry& counts_entry) {
  const Elements& starts = offsets.elements;
  const Elements lengths = ElementsOf(counts_entry);
  if (!IsSegmentElementSize(starts.element_size) || !IsSegmentElementSize(lengths.element_size)) {
    return false;
  }
  // A counts entry shorter than its offsets (or the reverse) is checked as
  // far as both go; reading on would take unrelated bytes for segments.
  const uint32_t segments = std::min(starts.count, lengths.count);
  if (!Reach(starts.at + uint64_t{segments} * starts.element_size) ||
      !Reach(lengths.at + uint64_t{segments} * lengths.element_size)) {
    return false;
  }
  for (uint32_t i = 0; i < segments; ++i) {
    if (++segments_checked_ > kMaxSegments) return false;
    if (!Reach(uint64_t{ReadElement(starts, i)} + ReadElement(lengths, i))) return false;
  }
  return true;
}

}  // namespace officecarve
