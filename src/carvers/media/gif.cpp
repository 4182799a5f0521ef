#include <cstdint>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/declared_size.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kGif87a = "GIF87a"sv;
constexpr std::string_view kGif89a = "GIF89a"sv;
// The signature, then the logical screen descriptor, whose last but two
// byte says whether a global colour table follows and how large it is.
constexpr uint64_t kHeaderBytes = 13;
constexpr uint64_t kScreenFlagsOffset = 10;
constexpr uint8_t kColourTableFlag = 0x80;
constexpr uint8_t kColourTableSizeBits = 0x07;

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
// An image descriptor, separator included; its last byte holds the local
// colour table's flag and size as the screen's does.
constexpr uint64_t kImageDescriptorBytes = 10;
constexpr uint64_t kImageFlagsOffset = 9;
// Pixels are at most 8 bits, and a 1-bit picture still starts at 2.
constexpr uint8_t kMinCodeSize = 2;
constexpr uint8_t kMaxCodeSize = 8;

// The extensions the format defines, with the size of the block each one
// starts with (0: a comment's blocks are free text).
struct ExtensionLabel {
  uint8_t label;
  uint8_t first_block_bytes;
};
constexpr ExtensionLabel kExtensions[] = {
    {0xF9, 4},   // graphic control: disposal, delay, transparent colour
    {0xFE, 0},   // comment
    {0x01, 12},  // plain text: grid and colours
    {0xFF, 11},  // application: identifier and authentication code
};

// Animations that programs write for screens run to tens of MiB; a walk
// past this is no picture.
constexpr uint64_t kMaxGifBytes = 128ull << 20;

uint64_t ColourTableBytes(uint8_t flags) {
  if ((flags & kColourTableFlag) == 0) return 0;
  return uint64_t{3} << ((flags & kColourTableSizeBits) + 1);
}

bool IsGifSignature(std::span<const uint8_t> bytes, uint64_t at) {
  return HeaderHas(bytes, at, kGif87a) || HeaderHas(bytes, at, kGif89a);
}

// Walks the blocks in the buffer, reading further units only when the walk
// reaches past the held bytes, and dropping the bytes behind it before each
// read so that a long animation costs little memory.
class GifWalk {
 public:
  explicit GifWalk(CarverCall& call) : call_(call), unit_bytes_(call.Env().bytes_per_sector) {}

  // Makes `count` bytes from the position available. False past the size
  // limit, at the end of the range, on a short read, or when a unit read
  // starts another GIF: a walk that reaches one has run off a damaged file
  // into its neighbour (a picture holds a signature at a unit start only by
  // a 2^-48 chance), and stopping there keeps a disk where every block
  // starts a picture that never ends from costing each one the rest of it.
  bool Need(uint64_t count) {
    if (position_ + count <= call_.Held()) return true;
    if (dropped_ + position_ + count > kMaxGifBytes) return false;
    const uint64_t before = position_;
    call_.Compact(position_);
    dropped_ += before - position_;
    uint64_t unit_start = call_.Held();
    if (!call_.ReadUntil(position_ + count)) return false;
    for (; unit_start < call_.Held(); unit_start += unit_bytes_) {
      if (IsGifSignature(call_.Bytes(), unit_start)) return false;
    }
    return true;
  }

  uint8_t At(uint64_t ahead) const { return call_.Bytes()[position_ + ahead]; }
  void Advance(uint64_t count) { position_ += count; }
  uint64_t FilePosition() const { return dropped_ + position_; }

  // A chain of sub-blocks, each a length byte and that many bytes, up to a
  // zero length.
  bool PassSubBlocks() {
    for (;;) {
      if (!Need(1)) return false;
      const uint8_t length = At(0);
      Advance(1);
      if (length == 0) return true;
      if (!Need(length)) return false;
      Advance(length);
    }
  }

 private:
  CarverCall& call_;
  const uint64_t unit_bytes_;
  uint64_t position_ = 0;  // in the buffer
  uint64_t dropped_ = 0;   // bytes compaction removed before the buffer
};

bool PassExtension(GifWalk& walk) {
  if (!walk.Need(3)) return false;
  const uint8_t label = walk.At(1);
  for (const ExtensionLabel& known : kExtensions) {
    if (known.label != label) continue;
    if (known.first_block_bytes != 0 && walk.At(2) != known.first_block_bytes) return false;
    walk.Advance(2);
    return walk.PassSubBlocks();
  }
  return false;
}

bool PassImage(GifWalk& walk) {
  if (!walk.Need(kImageDescriptorBytes)) return false;
  const uint64_t colour_table = ColourTableBytes(walk.At(kImageFlagsOffset));
  walk.Advance(kImageDescriptorBytes);
  if (!walk.Need(colour_table + 1)) return false;
  walk.Advance(colour_table);
  const uint8_t code_size = walk.At(0);
  if (code_size < kMinCodeSize || code_size > kMaxCodeSize) return false;
  walk.Advance(1);
  return walk.PassSubBlocks();
}

}  // namespace

// Follows the blocks from the header to the trailer; any byte where a block
// should start that is not one of the three introducers is no GIF.
void CarveGif(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  if (!IsGifSignature(call.Bytes(), 0)) return call.Fail();
  GifWalk walk(call);
  if (!walk.Need(kHeaderBytes)) return call.Fail();
  const uint64_t colour_table = ColourTableBytes(walk.At(kScreenFlagsOffset));
  walk.Advance(kHeaderBytes);
  if (!walk.Need(colour_table)) return call.Fail();
  walk.Advance(colour_table);

  uint64_t images = 0;
  for (;;) {
    if (!walk.Need(1)) return call.Fail();
    const uint8_t introducer = walk.At(0);
    if (introducer == kTrailer) {
      // A file of extensions alone shows nothing; noise passes for one more
      // easily than for a picture.
      if (images == 0) return call.Fail();
      call.TrimTo(walk.FilePosition() + 1);
      return call.Complete();
    }
    if (introducer == kExtensionIntroducer) {
      if (!PassExtension(walk)) return call.Fail();
    } else if (introducer == kImageSeparator) {
      if (!PassImage(walk)) return call.Fail();
      ++images;
    } else {
      return call.Fail();
    }
  }
}

}  // namespace officecarve
