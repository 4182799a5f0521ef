#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "carvers/carvers.h"
#include "core/find_bytes.h"
#include "scan/carver_frame.h"
#include "scan/header_walks.h"
#include "source/sector_source.h"

namespace officecarve {
namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kStartOfScan = 0xDA;
// A segment length counts its own two bytes; anything shorter than one byte
// of payload is taken as noise rather than a picture.
constexpr uint32_t kMinSegmentLength = 3;
// Entropy-coded data is searched for its end marker this far and no further,
// and the header segments may not run past it either: both keep the buffer
// of one picture bounded however the bytes on the disk are laid out.
constexpr uint64_t kMaxSearchBytes = 32ull << 20;
constexpr std::string_view kEndMarker = "\xFF\xD9";

bool FetchUnit(CarverCall& call) {
  return call.ReadUntil(call.Held() + call.Env().bytes_per_sector);
}

// APP0 (JFIF) or APP1 (Exif) right after the start-of-image marker.
bool StartsWithApp0OrApp1(std::span<const uint8_t> header) { return (header[3] & 0xFE) == 0xE0; }

// Frame headers: the baseline, extended, progressive and lossless ones,
// Huffman or arithmetic, and the lossless-only format's.
bool IsFrameMarker(uint8_t code) {
  return (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC) ||
         code == 0xF7;
}

// Every marker a picture's header may hold before its first scan: frames,
// tables, restart interval, application segments and comments.
bool IsHeaderMarker(uint8_t code) {
  return IsFrameMarker(code) || code == 0xC4 || code == 0xCC || (code >= 0xDB && code <= 0xDF) ||
         (code >= 0xE0 && code <= 0xEF) || code == 0xF8 || code == 0xFE;
}

// Walks the segments after the start-of-image marker up to the first
// start-of-scan. Returns the position just after the start-of-scan marker
// and its length field, or nothing when the bytes are not a picture
// (`chain_broke` then tells whether the segments broke on their own
// account). A picture that does not start with APP0 or APP1 has a weaker
// signature, so its walk must be well formed too: only header markers, and
// a frame header before the scan. Only the other walks go through the chain
// memo: theirs fail by the segments from each one on alone. The inside of a
// long segment is claimed without being read, and the segments walked past
// are dropped from the buffer; `skipped` counts the bytes of both, which are
// then not in the buffer.
std::optional<uint64_t> WalkHeaderSegments(CarverCall& call, bool well_formed, bool& chain_broke,
                                           uint64_t& skipped) {
  uint64_t position = 2;
  bool saw_frame = false;
  chain_broke = !well_formed;
  for (;;) {
    if (call.Held() < position + 4 && (!FetchUnit(call) || call.Held() < position + 4)) {
      return std::nullopt;
    }
    // Positions restart as the buffer is compacted; the first segment is
    // the one at file position 2.
    const bool first_segment = position + skipped == 2;
    if (!well_formed && !first_segment && call.ChainFailsAt(position)) return std::nullopt;
    const std::span<const uint8_t> bytes = call.Bytes();
    const uint8_t prefix = bytes[position];
    const uint8_t code = bytes[position + 1];
    const uint32_t length = (uint32_t{bytes[position + 2]} << 8) | bytes[position + 3];
    position += 4;
    if (prefix != kMarkerPrefix) return std::nullopt;
    if (code == kStartOfScan) {
      if (well_formed && !saw_frame) return std::nullopt;
      return position;
    }
    if (length < kMinSegmentLength) return std::nullopt;
    if (well_formed && !IsHeaderMarker(code)) return std::nullopt;
    saw_frame = saw_frame || IsFrameMarker(code);
    // Bounded by where the segment ends in the file; its inside is claimed
    // without being read, as nothing in it is looked at.
    uint64_t rest = length - 2;
    if (position + skipped + rest > kMaxSearchBytes) return std::nullopt;
    const std::optional<uint64_t> units = call.SkipInsideRecord(position, rest);
    if (!units) return std::nullopt;
    skipped += *units * call.Env().bytes_per_sector;
    if (!call.ReadUntil(position + rest)) return std::nullopt;
    position += rest;
    const uint64_t before = position;
    call.Compact(position);
    skipped += before - position;
  }
}

// Whether the held bytes from `from` on hold the end-of-image marker (the
// picture then ends in the unit fetched last). Fill bytes before it are
// 0xFF too, so FF FF D9 ends the picture while FF 00 D9 (a stuffed byte)
// does not.
bool HoldsEndOfImage(std::span<const uint8_t> bytes, uint64_t from) {
  return FindBytes(bytes, from, kEndMarker).has_value();
}

}  // namespace

void CarveJpeg(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  // A picture starting with APP0 or APP1 walks its segments as any chain
  // through its first one did: when such a chain is known to have failed,
  // so does the picture, and its header need not be read.
  constexpr int64_t kFirstSegment = 2;
  if (env.carving_kind == FileKind::JpegJfif && env.failed_chains != nullptr &&
      env.failed_chains->Holds(env.carving_kind, offset + kFirstSegment)) {
    return;
  }
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::span<const uint8_t> header = call.Bytes();
  if (header.size() < 3 || header[0] != 0xFF || header[1] != 0xD8 || header[2] != 0xFF) {
    return call.Fail();
  }

  bool chain_broke = false;
  uint64_t skipped = 0;
  const std::optional<uint64_t> scan_start =
      WalkHeaderSegments(call, !StartsWithApp0OrApp1(header), chain_broke, skipped);
  if (!scan_start) return chain_broke ? call.FailChain() : call.Fail();
  if (HoldsEndOfImage(call.Bytes(), *scan_start)) return call.Complete();
  // Then the units after the held ones, with the last two held bytes looked
  // at again as the search reaches the first of them. Units are taken while
  // the search stands below the limit, so one more can follow the last
  // position under it.
  const uint64_t held = call.Held();
  const uint64_t taken = held + skipped;
  const uint64_t unit_bytes = env.bytes_per_sector;
  if (held < 2 || taken - 2 >= kMaxSearchBytes) return call.Fail();
  const uint64_t max_units = (kMaxSearchBytes + 1 - taken) / unit_bytes + 1;
  const auto tail = call.Bytes().subspan(held - 2);
  const CarverCall::Ahead ahead = call.FindAhead(kEndMarker, tail, max_units);
  if (ahead.outcome != CarverCall::Ahead::Outcome::kFound) return call.Fail();
  // The picture ends in the unit holding the marker: its units are claimed,
  // and nothing in them needs reading.
  if (!call.SkipClaimUnits(ahead.units)) return call.Fail();
  call.Complete();
}

bool JpegHeaderHolds(SectorSource& source, HeaderWalks& walks, int64_t outer, int64_t inner) {
  // The candidates below the one being carved are mostly in the read window
  // already (the recovery walks down through them); only the outer picture's
  // first segments are looked at.
  constexpr size_t kMaxSegments = 64;
  std::array<uint8_t, 4> field{};
  // The fields are taken from the window that holds them while it does.
  std::span<const uint8_t> held;
  int64_t held_start = 0;
  auto read_field = [&](int64_t offset) {
    if (offset < held_start || offset - held_start > static_cast<int64_t>(held.size()) - 4) {
      held = source.HeldAt(offset);
      held_start = offset;
    }
    if (held.size() >= field.size()) {
      std::memcpy(field.data(), held.data() + (offset - held_start), field.size());
      return true;
    }
    held = {};  // a read may move the windows
    return source.ReadAt(field.data(), 4, offset) == 0;
  };
  HeaderWalk& walk = walks.For(outer);
  if (!walk.started) {
    walk.started = true;
    walk.next = outer + 2;
    walk.ended =
        !read_field(outer) || field[0] != 0xFF || field[1] != 0xD8 || field[2] != kMarkerPrefix;
  }
  for (const HeaderWalk::Record& segment : walk.records) {
    if (segment.start >= inner) return false;
    if (inner >= segment.start + 4 && inner < segment.end) return true;
  }
  // Segments not walked yet, as far as this candidate needs.
  while (!walk.ended && walk.records.size() < kMaxSegments && walk.next < inner) {
    const int64_t position = walk.next;
    if (!read_field(position) || field[0] != kMarkerPrefix || field[1] == kStartOfScan) {
      walk.ended = true;
      break;
    }
    const int64_t length = (int64_t{field[2]} << 8) | field[3];
    if (length < kMinSegmentLength) {
      walk.ended = true;
      break;
    }
    const int64_t end = position + 2 + length;
    walk.records.push_back({position, end});
    walk.next = end;
    if (inner >= position + 4 && inner < end) return true;
  }
  return false;
}

}  // namespace officecarve
