#include "carvers/office/stored_gaps.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "carvers/office/jpeg_syntax_watch.h"
#include "core/byte_order.h"
#include "core/crc32.h"

namespace officecarve {
namespace {

// The CRC-32 contribution of each stretch between split points at one shift:
// its own CRC-32 carried past the bytes that follow it.
bool Contributions(const StoredData& data, const std::vector<uint64_t>& points, uint64_t shift,
                   std::vector<uint32_t>& out) {
  out.assign(points.size(), 0);
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    const uint64_t at = points[i] + shift;
    const uint64_t length = points[i + 1] - points[i];
    if (at > data.stream.size() || length > data.stream.size() - at) return false;
    const uint32_t own = Crc32(0, data.stream.subspan(static_cast<size_t>(at), length));
    out[i] = static_cast<uint32_t>(
        crc32_combine(own, 0, static_cast<z_off_t>(data.end - points[i + 1])));
  }
  return true;
}

constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool PngImageUnpacks(std::span<const uint8_t> bytes) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  std::vector<uint8_t> out(64 * 1024);
  bool ended = false;
  bool broken = false;
  uint64_t at = kPngSignature.size();
  // Each chunk moves on by at least its 12 fixed bytes.
  while (!broken && at + 12 <= bytes.size()) {
    const uint64_t length = Be32At(bytes, at);
    if (length > bytes.size() - at - 12) break;
    if (std::memcmp(bytes.data() + at + 4, "IDAT", 4) == 0 && !ended) {
      stream.next_in = const_cast<Bytef*>(bytes.data() + at + 8);
      stream.avail_in = static_cast<uInt>(length);
      while (stream.avail_in > 0 && !ended) {
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
          ended = true;
        } else if (result != Z_OK) {
          broken = true;
          break;
        }
      }
    }
    at += 12 + length;
  }
  inflateEnd(&stream);
  return ended && !broken;
}

}  // namespace

std::vector<TwoStoredGaps> FindTwoStoredGaps(const StoredData& data, uint64_t before,
                                             uint64_t after, uint64_t low, size_t max_found,
                                             uint64_t& work_left) {
  std::vector<TwoStoredGaps> found;
  const uint64_t unit = data.unit;
  if (unit == 0 || after < before + 2 * unit || data.end <= data.start) return found;
  std::vector<uint64_t> points{data.start};
  for (uint64_t x = (data.start / unit + 1) * unit; x < data.end; x += unit) points.push_back(x);
  points.push_back(data.end);
  const size_t cells = points.size() - 1;
  const uint64_t middles = (after - before) / unit - 1;
  const uint64_t cost = (data.end - data.start) * (middles + 2);
  if (work_left < cost) {
    work_left = 0;
    return found;
  }
  work_left -= cost;

  std::vector<uint32_t> first, last, middle;
  if (!Contributions(data, points, before, first) || !Contributions(data, points, after, last)) {
    return found;
  }
  // With A(s)[i] the XOR of the first i contributions at shift s, a layout
  // with gaps at points i < j holds when
  // (A(before)[i] ^ A(mid)[i]) ^ (A(mid)[j] ^ A(after)[j]) == crc ^ A(after)[all],
  // the conditioning of the CRC-32 cancelling as in crc32_combine.
  uint32_t all_last = 0;
  for (size_t i = 0; i < cells; ++i) all_last ^= last[i];
  const uint32_t target = data.crc ^ all_last;
  std::unordered_map<uint32_t, size_t> firsts;
  for (uint64_t shift = before + unit; shift < after; shift += unit) {
    if (!Contributions(data, points, shift, middle)) continue;
    firsts.clear();
    uint32_t a_first = 0, a_middle = 0, a_last = 0;
    for (size_t j = 0; j < cells; ++j) {
      // Point j as the first gap's start, for the second gaps after it.
      if (j > 0 && points[j] >= low) firsts.emplace(a_first ^ a_middle, j);
      if (j > 0) {
        const auto hit = firsts.find(target ^ a_middle ^ a_last);
        if (hit != firsts.end() && hit->second < j) {
          found.push_back({points[hit->second], shift, points[j]});
          if (found.size() >= max_found) return found;
        }
      }
      a_first ^= first[j];
      a_middle ^= middle[j];
      a_last ^= last[j];
    }
  }
  return found;
}

bool PictureSyntaxHolds(std::span<const uint8_t> bytes) {
  if (bytes.size() >= kPngSignature.size() &&
      std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin())) {
    return PngImageUnpacks(bytes);
  }
  JpegSyntaxWatch watch;
  return watch.See(bytes);
}

}  // namespace officecarve
