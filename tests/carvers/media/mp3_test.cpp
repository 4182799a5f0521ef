#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/media/movie_carver_harness.h"

namespace officecarve {
namespace {

using testing::ImageWith;
using testing::SampleDocument;
using testing::UnitsFor;

constexpr size_t kId3HeaderBytes = 10;
constexpr size_t kId3v1Bytes = 128;
// The tone's frames (MPEG-1 Layer III, 64 kbit/s, 44.1 kHz) start with two
// of 208 bytes, then come padded ones of 209 for a while.
size_t ToneFramesEnd(size_t tag_bytes, size_t frames) {
  return tag_bytes + 2 * 208 + (frames - 2) * 209;
}

// The ID3v2 tag's length, header included; the samples have no footer.
size_t TagBytes(const std::vector<uint8_t>& mp3) {
  size_t size = 0;
  for (size_t i = 6; i < kId3HeaderBytes; ++i) size = size << 7 | mp3[i];
  return kId3HeaderBytes + size;
}

void SetTagSize(std::vector<uint8_t>& mp3, size_t tag_bytes) {
  const size_t size = tag_bytes - kId3HeaderBytes;
  for (size_t i = 0; i < 4; ++i) mp3[6 + i] = static_cast<uint8_t>((size >> (21 - 7 * i)) & 0x7F);
}

std::vector<uint8_t> Tone() { return SampleDocument("tone.mp3"); }
std::vector<uint8_t> Tagged() { return SampleDocument("tagged.mp3"); }
std::vector<uint8_t> Untagged() { return SampleDocument("untagged.mp3"); }

void AppendLe32(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// An APE tag (version 2.000, with header and footer) of one text item, as a
// tagger appends it after the audio and before an ID3v1 tag.
std::vector<uint8_t> ApeTag() {
  const std::string key = "Title";
  const std::string value = "Tone for the archive";
  std::vector<uint8_t> item;
  AppendLe32(item, static_cast<uint32_t>(value.size()));
  AppendLe32(item, 0);
  item.insert(item.end(), key.begin(), key.end());
  item.push_back(0);
  item.insert(item.end(), value.begin(), value.end());
  const auto size = static_cast<uint32_t>(item.size() + 32);  // items and footer
  const auto frame = [&](uint32_t flags) {
    std::vector<uint8_t> bytes = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
    AppendLe32(bytes, 2000);
    AppendLe32(bytes, size);
    AppendLe32(bytes, 1);
    AppendLe32(bytes, flags);
    bytes.resize(32);
    return bytes;
  };
  constexpr uint32_t kHasHeader = 1u << 31;
  constexpr uint32_t kIsHeader = 1u << 29;
  std::vector<uint8_t> tag = frame(kHasHeader | kIsHeader);
  tag.insert(tag.end(), item.begin(), item.end());
  const std::vector<uint8_t> footer = frame(kHasHeader);
  tag.insert(tag.end(), footer.begin(), footer.end());
  return tag;
}

std::vector<uint8_t> TaggedWithApeTag() {
  std::vector<uint8_t> mp3 = Tagged();
  const std::vector<uint8_t> ape = ApeTag();
  mp3.insert(mp3.end() - kId3v1Bytes, ape.begin(), ape.end());
  return mp3;
}

// The tone with 100,000 bytes of padding inside its ID3v2 tag, as a tagger
// leaves room for a picture: the tag is claimed without being read.
std::vector<uint8_t> ToneWithLongTag() {
  std::vector<uint8_t> mp3 = Tone();
  const size_t tag_bytes = TagBytes(mp3);
  mp3.insert(mp3.begin() + static_cast<ptrdiff_t>(tag_bytes), 100'000, 0);
  SetTagSize(mp3, tag_bytes + 100'000);
  return mp3;
}

// The tone's tag and its first `frames` frames (two or more).
std::vector<uint8_t> ToneCutAfterFrames(size_t frames) {
  std::vector<uint8_t> mp3 = Tone();
  mp3.resize(ToneFramesEnd(TagBytes(mp3), frames));
  return mp3;
}

struct Sample {
  const char* name;
  std::vector<uint8_t> (*bytes)();
  const char* document;  // recovered around the file on a FAT32 volume
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.name; }

const Sample kSamples[] = {
    {"tone", &Tone, "minutes.docx"},             // ID3v2, MPEG-1 frames
    {"tagged", &Tagged, "letter.doc"},           // ID3v2, MPEG-2 frames, ID3v1
    {"ape", &TaggedWithApeTag, "minutes.docx"},  // and an APE tag before the ID3v1 tag
    {"long_tag", &ToneWithLongTag, "letter.doc"},
    {"untagged", &Untagged, "budget.xls"},  // no ID3v2 tag: the encoder's info frame first
};

class RealMp3s : public testing::CarverHarness, public ::testing::WithParamInterface<Sample> {};

TEST_P(RealMp3s, AreClaimedThroughTheirLastUnitAndTheRestOfItsCluster) {
  for (const int64_t shift : testing::kMovieShifts) {
    SCOPED_TRACE(shift);
    ExpectClaimedToItsLastUnitAtEveryGeometry(&CarveMp3, GetParam().bytes(), shift);
  }
}

TEST_P(RealMp3s, LetADocumentAroundThemComeBackWholeOnFat32) {
  ExpectDocumentAroundOnFat32(GetParam().document, GetParam().bytes());
}

INSTANTIATE_TEST_SUITE_P(RealFiles, RealMp3s, ::testing::ValuesIn(kSamples),
                         [](const auto& info) { return std::string(info.param.name); });

class Mp3Carver : public testing::MovieCarverTest {
 protected:
  void CarveAlone(const std::vector<uint8_t>& file, int64_t after = 9) {
    OpenWith(file, after);
    Carve(&CarveMp3, Shift());
  }
};

TEST_P(Mp3Carver, ClaimsNothingForWhatIsNotAnMp3) {
  std::vector<uint8_t> absurd_tag = Tone();
  absurd_tag[6] = absurd_tag[7] = absurd_tag[8] = absurd_tag[9] = 0x7F;  // 256 MiB
  std::vector<uint8_t> not_syncsafe = Tone();
  not_syncsafe[9] |= 0x80;
  std::vector<uint8_t> tag_then_noise = Tone();
  tag_then_noise.resize(TagBytes(tag_then_noise));
  const struct {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"a tag of 256 MiB", absurd_tag},
      {"a size byte with its top bit set", not_syncsafe},
      {"noise after the tag", tag_then_noise},
      {"seven frames then noise", ToneCutAfterFrames(7)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CarveAlone(c.file);

    ExpectNoTrace();
  }
}

// A tag that declares a megabyte with noise where it ends is given up before
// a single unit of it is claimed: no progress line, however long the tag.
TEST_P(Mp3Carver, GivesUpALongTagWithoutAFrameAfterItAtOnce) {
  std::vector<uint8_t> file = Tone();
  file.resize(TagBytes(file));
  SetTagSize(file, 1 << 20);
  CarveAlone(file, 2100);

  ExpectNoTrace();
  EXPECT_EQ(frontend_.pumps, 0);
}

TEST_P(Mp3Carver, ClaimsALongTagWithoutReadingIt) {
  const std::vector<uint8_t> file = ToneWithLongTag();
  OpenWith(file);
  // The tag's last 1,000 bytes or so, and the frames after it, are read.
  const int64_t tag_end_unit = static_cast<int64_t>(TagBytes(file) / 512);
  for (int64_t unit = 1; unit < tag_end_unit - 2; ++unit) unreadable_->insert(Shift() + unit);

  Carve(&CarveMp3, Shift());

  EXPECT_EQ(ClaimedUnits(), FileUnits(file.size()));
}

TEST_P(Mp3Carver, EndsWhereFramesOfAnotherStreamBegin) {
  // Eight frames of 44.1 kHz, then frames of 22.05 kHz.
  std::vector<uint8_t> file = ToneCutAfterFrames(8);
  const size_t tone_end = file.size();
  const std::vector<uint8_t> tagged = Tagged();
  file.insert(file.end(), tagged.begin() + static_cast<ptrdiff_t>(TagBytes(tagged)),
              tagged.end() - kId3v1Bytes);
  ASSERT_EQ(file[tone_end], 0xFF);

  CarveAlone(file);

  EXPECT_EQ(ClaimedUnits(), FileUnits(tone_end));
}

TEST_P(Mp3Carver, WithAnUnreadableUnitReleasesEveryUnit) {
  const std::vector<uint8_t> file = Tagged();
  OpenWith(file);
  unreadable_->insert(Shift() + UnitsFor(file.size(), 512) / 2);

  Carve(&CarveMp3, Shift());

  ExpectNoTrace();
}

INSTANTIATE_TEST_SUITE_P(Placements, Mp3Carver,
                         ::testing::Combine(::testing::ValuesIn(testing::kMovieShifts),
                                            ::testing::ValuesIn(testing::kMovieClusters)),
                         testing::MovieCaseName);

}  // namespace
}  // namespace officecarve
