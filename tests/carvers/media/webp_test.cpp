#include <cstdint>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/media/foreign_file_cases.h"
#include "testimage/little_endian.h"

namespace officecarve {
namespace {

using testimage::PutText;
using testimage::PutU32;
using testing::ForeignSample;

constexpr ForeignSample kPictures[] = {
    {"photo.webp", "letter.doc"},       // lossy
    {"lossless.webp", "minutes.docx"},  // lossless
    {"alpha.webp", "budget.xls"},       // extended: alpha, then the lossy picture
};

using RealWebps = testing::ForeignSampleCases;

TEST_P(RealWebps, AreBoundedExactly) { ExpectBoundExactly(&CarveWebp); }

INSTANTIATE_TEST_SUITE_P(RealFiles, RealWebps,
                         ::testing::Combine(::testing::ValuesIn(kPictures),
                                            ::testing::ValuesIn(testing::kShifts)),
                         testing::SampleCaseName());

using SpoiledWebps = testing::SpoiledFileCases;

// The first chunk's type is at 12, its size at 16 and its data from 20.
TEST_P(SpoiledWebps, ClaimNothing) {
  const auto set = [](size_t at, uint8_t value) {
    return [at, value](std::vector<uint8_t>& file) { file.at(at) = value; };
  };
  const auto set32 = [](size_t at, uint32_t value) {
    return [at, value](std::vector<uint8_t>& file) { PutU32(file, at, value); };
  };
  ExpectEachClaimsNothing(
      &CarveWebp,
      {
          {"the range ends before the picture does", "photo.webp", nullptr, 1},
          {"a first chunk of no picture", "photo.webp",
           [](std::vector<uint8_t>& file) { PutText(file, 12, "VP8Y"); }},
          {"a lossy picture without the key frame's start code", "photo.webp", set(23, 0x9E)},
          {"a lossy picture that starts with an inter frame", "photo.webp", set(20, 0x71)},
          {"a lossless picture without its signature byte", "lossless.webp", set(20, 0x2E)},
          {"an extended header of 12 bytes", "alpha.webp", set32(16, 12)},
          {"a first chunk longer than the file", "photo.webp", set32(16, 10848)},
          // Taken in 32 bits, as the older RIFF kinds take it, the size would
          // wrap to a file of its header unit alone.
          {"a size of 4 GiB", "photo.webp", set32(4, 0xFFFFFFF8)},
      });
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, SpoiledWebps, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
