#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/declared_size_harness.h"
#include "testimage/image_builder.h"
#include "testimage/little_endian.h"

namespace officecarve {
namespace {

using testimage::PseudoRandomBytes;
using testimage::PutText;
using testing::SampleDocument;

using RafCarver = testing::DeclaredSizeCarver;

void PutBe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

struct RafLayout {
  uint32_t preview_offset = 148;  // the header word at byte 84
  uint32_t data_offset = 2048;
  uint32_t data_length = 0;
  uint32_t second_offset = 0;
  uint32_t second_length = 0;
};

// A camera raw file of `bytes` bytes with the given header words and
// stand-in data. No free tool writes these.
std::vector<uint8_t> RafFile(const RafLayout& layout, size_t bytes) {
  std::vector<uint8_t> file = PseudoRandomBytes(bytes, 9);
  PutText(file, 0, "FUJIFILMCCD-RAW 0201FF393101");
  PutBe32(file, 84, layout.preview_offset);
  PutBe32(file, 100, layout.data_offset);
  PutBe32(file, 104, layout.data_length);
  PutBe32(file, 128, layout.second_offset);
  PutBe32(file, 132, layout.second_length);
  return file;
}

TEST_P(RafCarver, ClaimsAFileThroughTheEndOfItsRawData) {
  const std::vector<uint8_t> raf = RafFile({.data_length = 9 * 512 - 2048 + 77}, 9 * 512 + 77);
  ExpectClaimedWhole(&CarveRaf, raf);
  ExpectDocumentRecoveredAround("letter.doc", ".DOC", raf);
}

TEST_P(RafCarver, EndsWithTheSecondPairWhenTheHeaderHasOne) {
  // 40 units of noise follow the header unit.
  const struct {
    RafLayout layout;
    int64_t units;
  } cases[] = {
      {{148, 2048, 1000, 4096, 2000}, 12},  // second pair ends at 6,096
      {{148, 4096, 2000, 2048, 1000}, 12},  // first pair ends further
      {{120, 2048, 1000, 4096, 2000}, 6},   // no second pair: its words mean nothing
      {{148, 0xFFFFFF00, 0x300, 0, 0}, 1},  // the 32-bit sum wraps to 512
      {{148, 0, 209'715'200, 0, 0}, 41},    // 200 MiB is trusted: up to the range end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.layout.preview_offset) + " " + std::to_string(c.units));
    OpenWith(RafFile(c.layout, 512), 40);
    Carve(&CarveRaf, Shift());
    EXPECT_EQ(ClaimedUnits(), ClaimOf(c.units));
  }
}

TEST_P(RafCarver, GivesUpAFileDeclaringMoreThan200MiB) {
  for (const RafLayout& layout :
       {RafLayout{148, 0, 209'715'201, 0, 0}, RafLayout{148, 0, 4096, 209'715'200, 1}}) {
    OpenWith(RafFile(layout, 512), 40);
    Carve(&CarveRaf, Shift());
    ExpectNoTrace();
  }
}

INSTANTIATE_TEST_SUITE_P(Placements, RafCarver, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
