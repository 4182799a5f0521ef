// The sound formats sox and ffmpeg write besides WAVE and MP3: each real file
// is bounded exactly, alone and between a document's fragments, and a header
// spoiled in a way that leaves nothing to bound claims nothing.
#include <cstdint>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/media/foreign_file_cases.h"
#include "testimage/little_endian.h"

namespace officecarve {
namespace {

using testimage::PutU32;
using testing::ForeignSample;

struct Sound {
  ForeignSample sample;
  CarverFunction carver;
};

void PrintTo(const Sound& sound, std::ostream* out) { *out << sound.sample.file; }

const Sound kSounds[] = {
    {{"tone.aiff", "letter.doc"}, &CarveAiff},    {{"tone.aifc", "minutes.docx"}, &CarveAiff},
    {{"tone.au", "budget.xls"}, &CarveSunAudio},  {{"tone.w64", "letter.doc"}, &CarveWave64},
    {{"tone.caf", "minutes.docx"}, &CarveCaf},     // desc, free, data
    {{"tone.wv", "budget.xls"}, &CarveWavPack},    // the total only in the first block
    {{"tagged.wv", "letter.doc"}, &CarveWavPack},  // later totals 0, then an APEv2 tag
    {{"tone.ogg", "letter.doc"}, &CarveOgg},       // Vorbis
    {{"voice.opus", "minutes.docx"}, &CarveOgg},   // Opus
    {{"tone.aac", "budget.xls"}, &CarveAdts},      // raw AAC
};

class RealSounds : public testing::SampleCases<Sound> {};

TEST_P(RealSounds, AreBoundedExactly) {
  const Sound& sound = TheSample();
  const std::vector<uint8_t> file = testing::SampleDocument(sound.sample.file);
  ExpectClaimedToItsLastUnitAtEveryGeometry(sound.carver, file, Shift());
  ExpectDocumentAroundOnFat32(sound.sample.document, file);
}

struct SoundCaseName {
  template <typename Info>
  std::string operator()(const Info& info) const {
    std::string name = std::get<0>(info.param).sample.file;
    for (char& c : name) {
      if (c == '.') c = '_';
    }
    return name + "_at_" + std::to_string(std::get<1>(info.param));
  }
};

INSTANTIATE_TEST_SUITE_P(RealFiles, RealSounds,
                         ::testing::Combine(::testing::ValuesIn(kSounds),
                                            ::testing::ValuesIn(testing::kShifts)),
                         SoundCaseName());

auto SetBigEndian(size_t at, size_t bytes, uint64_t value) {
  return [=](std::vector<uint8_t>& file) {
    for (size_t i = 0; i < bytes; ++i) {
      file.at(at + i) = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
    }
  };
}
auto SetLittleEndian32(size_t at, uint32_t value) {
  return [=](std::vector<uint8_t>& file) { PutU32(file, at, value); };
}
auto SetByte(size_t at, uint8_t value) {
  return [=](std::vector<uint8_t>& file) { file.at(at) = value; };
}

struct SpoiledSound {
  testing::SpoiledFile spoiled;
  CarverFunction carver;
};

using SpoiledSounds = testing::SpoiledFileCases;

// tone.aiff: the form's size at 4. tone.au: the data's length at 8.
// tone.w64: the file's length at 16. tone.caf: the data chunk's length at
// 4084. tone.wv: the version at 8. tone.ogg: the first page's type at 5 and
// number at 18. tone.aac: the second frame's header at 425.
TEST_P(SpoiledSounds, ClaimNothing) {
  const std::vector<SpoiledSound> cases = {
      {{"a form too short for a chunk", "tone.aiff", SetBigEndian(4, 4, 11)}, &CarveAiff},
      {{"a length the writer left unknown", "tone.au", SetBigEndian(8, 4, 0xFFFFFFFF)},
       &CarveSunAudio},
      {{"data that starts inside the header", "tone.au", SetBigEndian(4, 4, 16)}, &CarveSunAudio},
      {{"a length shorter than the header", "tone.w64", SetLittleEndian32(16, 39)}, &CarveWave64},
      {{"a sound chunk left open", "tone.caf", SetBigEndian(4084, 8, UINT64_MAX)}, &CarveCaf},
      {{"a description of another length", "tone.caf", SetBigEndian(12, 8, 33)}, &CarveCaf},
      {{"a version the format never had", "tone.wv", SetByte(8, 0x01)}, &CarveWavPack},
      {{"a first page that goes on with a packet", "tone.ogg", SetByte(5, 0x03)}, &CarveOgg},
      {{"a first page that is not the stream's first", "tone.ogg", SetLittleEndian32(18, 1)},
       &CarveOgg},
      {{"a second frame at another sample rate", "tone.aac", SetByte(427, 0x54)}, &CarveAdts},
  };
  for (const SpoiledSound& sound : cases) ExpectEachClaimsNothing(sound.carver, {sound.spoiled});
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, SpoiledSounds, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
