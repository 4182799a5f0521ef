#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/media/foreign_file_cases.h"
#include "testimage/little_endian.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;
using testimage::ImageBuilder;
using testimage::PutText;
using testing::ForeignSample;
using testing::SpoiledFile;

constexpr ForeignSample kGifs[] = {
    {"picture87.gif", "letter.doc"},    // GIF87a, a global colour table and one image
    {"still.gif", "minutes.docx"},      // GIF89a, a graphic control before the image
    {"animated.gif", "schedule.xlsx"},  // twelve frames, local colour tables, a comment
};

using RealGifs = testing::ForeignSampleCases;

TEST_P(RealGifs, AreBoundedExactly) { ExpectBoundExactly(&CarveGif); }

INSTANTIATE_TEST_SUITE_P(RealFiles, RealGifs,
                         ::testing::Combine(::testing::ValuesIn(kGifs),
                                            ::testing::ValuesIn(testing::kShifts)),
                         testing::SampleCaseName());

using SpoiledGifs = testing::SpoiledFileCases;

// Offsets in still.gif: its graphic control extension at 205, the image at
// 213 with its code size at 223, the trailer at 4640 (in unit 9). In
// animated.gif the loop extension starts at 781.
TEST_P(SpoiledGifs, ClaimNothing) {
  const auto set = [](size_t at, uint8_t value) {
    return [at, value](std::vector<uint8_t>& file) { file.at(at) = value; };
  };
  const std::vector<SpoiledFile> cases = {
      {"the range ends before the trailer", "still.gif", nullptr, 1},
      {"a code size of 9", "still.gif", set(223, 9)},
      {"a code size of 1", "picture87.gif", set(407, 1)},
      {"an extension label the format does not define", "still.gif", set(206, 0xF8)},
      {"a graphic control block of 5 bytes", "still.gif", set(207, 5)},
      {"an application block of 10 bytes", "animated.gif", set(783, 10)},
      {"no trailer where the next block starts", "still.gif", set(4640, 0x00)},
      {"a trailer before any image", "still.gif", set(205, 0x3B)},
  };
  ExpectEachClaimsNothing(&CarveGif, cases);
}

// Every 4 KiB block starts a picture whose data never ends: 255-byte
// sub-blocks of 0xFF run through the next block's header, and their length
// bytes land on that block's own. Carved from the last block down, each
// candidate stops at the next block's header rather than reading to the
// range end, so none of them ever reads far enough to compact its buffer
// and show progress.
TEST_P(SpoiledGifs, AStormOfPicturesThatNeverEndCostsEachOnlyItsBlock) {
  constexpr int64_t kBlockUnits = 8;
  constexpr int64_t kBlocks = 40;
  ImageBuilder image(static_cast<uint64_t>(Shift() + kBlocks * kBlockUnits));
  std::vector<uint8_t>& bytes = image.MutableBytes();
  std::fill(bytes.begin(), bytes.end(), 0xFF);
  for (int64_t block = 0; block < kBlocks; ++block) {
    const auto at = static_cast<size_t>((Shift() + block * kBlockUnits) * 512);
    std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(at), 24, 0);
    PutText(bytes, at, "GIF89a\x01\x00\x01\x00"sv);  // a 1 x 1 screen
    bytes[at + 13] = 0x2C;
    bytes[at + 23] = 8;  // the code size; sub-blocks from byte 24
  }
  Open(image);

  for (int64_t block = kBlocks - 1; block >= 0; --block) {
    Carve(&CarveGif, Shift() + block * kBlockUnits);
  }

  ExpectNoTrace();
  EXPECT_EQ(frontend_.pumps, 0);
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, SpoiledGifs, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
