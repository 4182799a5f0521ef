#include "verdict/zip_content.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "core/crc32.h"

namespace officecarve {
namespace {

constexpr size_t kOutputChunkBytes = 64 * 1024;
// zlib counts input in 32-bit units; larger data is fed in pieces.
constexpr size_t kInputChunkBytes = size_t{1} << 30;

// `what` says how the bytes were had: "holds" for stored data, "unpacks to".
std::string SizeMismatch(const char* what, uint64_t actual, uint64_t listed) {
  return std::string(what) + " " + std::to_string(actual) + " bytes, the central directory lists " +
         std::to_string(listed);
}

}  // namespace

// zlib's state and window, and the output chunk, are set up once per checker
// and reused for every entry: a package has many small parts.
class EntryContentChecker::Inflater {
 public:
  Inflater() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ok_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Ready for a new stream; false when zlib could not be set up.
  bool Reset() { return ok_ && inflateReset(&stream_) == Z_OK; }
  z_stream& Stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

EntryContentChecker::EntryContentChecker()
    : inflater_(std::make_unique<Inflater>()), output_(kOutputChunkBytes) {}

EntryContentChecker::~EntryContentChecker() = default;

std::optional<std::string> EntryContentChecker::Check(std::span<const uint8_t> data,
                                                      uint16_t method, uint64_t size,
                                                      uint32_t crc) {
  if (method == kZipDeflated) return CheckDeflated(data, size, crc);
  if (data.size() != size) return SizeMismatch("holds", data.size(), size);
  if (Crc32(0, data) != crc) return "CRC mismatch";
  return std::nullopt;
}

std::optional<std::string> EntryContentChecker::CheckDeflated(std::span<const uint8_t> data,
                                                              uint64_t size, uint32_t crc) {
  if (!inflater_->Reset()) return "could not be unpacked (out of memory)";
  z_stream& stream = inflater_->Stream();
  stream.next_in = nullptr;
  stream.avail_in = 0;
  std::vector<uint8_t>& output = output_;
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

}  // namespace officecarve
