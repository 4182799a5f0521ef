#include "verdict/zip_content.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace officecarve {
namespace {

constexpr size_t kOutputChunkBytes = 64 * 1024;
// zlib counts input in 32-bit units; larger data is fed in pieces.
constexpr size_t kInputChunkBytes = size_t{1} << 30;

uint32_t Crc32(uint32_t crc, std::span<const uint8_t> bytes) {
  return static_cast<uint32_t>(crc32_z(crc, bytes.data(), bytes.size()));
}

// `what` says how the bytes were had: "holds" for stored data, "unpacks to".
std::string SizeMismatch(const char* what, uint64_t actual, uint64_t listed) {
  return std::string(what) + " " + std::to_string(actual) + " bytes, the central directory lists " +
         std::to_string(listed);
}

class Inflater {
 public:
  Inflater() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ok_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  bool Ok() const { return ok_; }
  z_stream& Stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

std::optional<std::string> CheckDeflated(std::span<const uint8_t> data, uint64_t size,
                                         uint32_t crc) {
  Inflater inflater;
  if (!inflater.Ok()) return "could not be unpacked (out of memory)";
  z_stream& stream = inflater.Stream();
  std::vector<uint8_t> output(kOutputChunkBytes);
  size_t fed = 0;
  uint64_t produced_total = 0;
  uint32_t running_crc = Crc32(0, {});
  // Every pass either consumes input or produces output, and the output is
  // bounded by the listed size, so the loop ends.
  while (true) {
    if (stream.avail_in == 0 && fed < data.size()) {
      const size_t chunk = std::min(data.size() - fed, kInputChunkBytes);
      // zlib's interface is not const-correct; it never writes through next_in.
      stream.next_in = const_cast<Bytef*>(data.data() + fed);
      stream.avail_in = static_cast<uInt>(chunk);
      fed += chunk;
    }
    const uInt input_before = stream.avail_in;
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int result = inflate(&stream, Z_NO_FLUSH);
    const size_t produced = output.size() - stream.avail_out;
    produced_total += produced;
    if (produced_total > size) {
      return "unpacks to more than the " + std::to_string(size) +
             " bytes the central directory lists";
    }
    running_crc = Crc32(running_crc, std::span(output).first(produced));
    if (result == Z_STREAM_END) break;
    if (result == Z_MEM_ERROR) return "could not be unpacked (out of memory)";
    if (result != Z_OK && result != Z_BUF_ERROR) return "compressed data is corrupt";
    if (produced == 0 && stream.avail_in == input_before) {
      if (stream.avail_in == 0 && fed >= data.size()) return "compressed data ends early";
      return "compressed data is corrupt";
    }
  }
  if (produced_total != size) return SizeMismatch("unpacks to", produced_total, size);
  if (running_crc != crc) return "CRC mismatch";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> CheckEntryContent(std::span<const uint8_t> data, uint16_t method,
                                             uint64_t size, uint32_t crc) {
  if (method == kZipDeflated) return CheckDeflated(data, size, crc);
  if (data.size() != size) return SizeMismatch("holds", data.size(), size);
  if (Crc32(0, data) != crc) return "CRC mismatch";
  return std::nullopt;
}

}  // namespace officecarve
