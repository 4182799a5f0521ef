#include "scan/identify.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <ostream>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace officecarve {

static void PrintTo(FileKind kind, std::ostream* out) { *out << FileKindName(kind); }

namespace {

using namespace std::string_view_literals;

using Sector = std::array<uint8_t, kIdentifyBytes>;

void Put(Sector& s, size_t offset, std::string_view bytes) {
  for (char c : bytes) s[offset++] = static_cast<uint8_t>(c);
}
void PutBe32(Sector& s, size_t offset, uint32_t v) {
  for (int i = 3; i >= 0; --i, v >>= 8) s[offset + i] = static_cast<uint8_t>(v);
}
void PutLe32(Sector& s, size_t offset, uint32_t v) {
  for (int i = 0; i < 4; ++i, v >>= 8) s[offset + i] = static_cast<uint8_t>(v);
}
Sector With(size_t offset, std::string_view bytes) {
  Sector s{};
  Put(s, offset, bytes);
  return s;
}

// A short-name directory entry dated 2010-06-15.
void PutDirEntry(Sector& s, size_t index, std::string_view name, uint8_t attribute,
                 uint32_t size = 0, uint16_t date = (30 << 9) | (6 << 5) | 15) {
  const size_t at = index * 32;
  Put(s, at, "           "sv);
  Put(s, at, name);
  s[at + 11] = attribute;
  s[at + 24] = static_cast<uint8_t>(date);
  s[at + 25] = static_cast<uint8_t>(date >> 8);
  PutLe32(s, at + 28, size);
}

// A pack header laid out field by field: '01' (MPEG-2) or '0010' (MPEG-1),
// clock[32..30], marker, clock[29..15], marker, clock[14..0], marker, then the
// remaining fields with their markers set. marker = 0 breaks the middle one.
Sector MpegPack(bool mpeg2, uint64_t clock, uint8_t marker = 1) {
  Sector s = With(0, "\x00\x00\x01\xBA"sv);
  const uint64_t fields = (mpeg2 ? 0b01ull << 36 : 0b0010ull << 36) | (clock >> 30 & 7) << 33 |
                          1ull << 32 | (clock >> 15 & 0x7FFF) << 17 | uint64_t{marker} << 16 |
                          (clock & 0x7FFF) << 1 | 1;
  const uint64_t header = mpeg2 ? fields << 26 | 1ull << 16 | 0x3 : fields << 24 | 0x800001;
  for (int i = 0; i < 8; ++i) s[4 + i] = static_cast<uint8_t>(header >> (56 - 8 * i));
  return s;
}

// Three 192-byte packets: a big-endian time stamp, then the sync byte.
Sector M2ts(uint32_t t0, uint32_t t1, uint32_t t2, Sector s = {}) {
  for (const auto& [at, stamp] : {std::pair{0u, t0}, {192u, t1}, {384u, t2}}) {
    PutBe32(s, at, stamp);
    s[at + 4] = 0x47;
  }
  return s;
}

TEST(Identify, RecognisesEachSignatureAtTheStartOfTheSector) {
  const std::vector<std::pair<Sector, FileKind>> cases = {
      {With(0, "\xFF\xD8\xFF\xE0"sv), FileKind::JpegJfif},
      {With(0, "\xFF\xD8\xFF\xE1"sv), FileKind::JpegJfif},
      {With(0, "\xFF\xD8\xFF\xDB"sv), FileKind::JpegOther},
      {With(0, "GIF89a"sv), FileKind::Gif89a},
      {With(0, "BM\x36\x00\x0C\x00"sv), FileKind::Bitmap},
      {With(0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv), FileKind::CompoundFile},
      {With(4, "Standard Jet DB"sv), FileKind::JetDatabase},
      {With(0, "\x89PNG"sv), FileKind::Png},
      {With(0, "ID3"sv), FileKind::Id3Audio},
      {With(0, "MM\x00\x2A"sv), FileKind::TiffFamily},
      {With(0, "IIU\x00"sv), FileKind::TiffFamily},
      {With(0, "FOVb"sv), FileKind::X3f},
      {With(0, "FUJIFILMCCD-RAW "sv), FileKind::Raf},
      {With(0, "Rar!\x1A\x07\x00"sv), FileKind::Rar},
      {With(0, "MSCF"sv), FileKind::Cabinet},
      {With(0, "7z\xBC\xAF\x27\x1C\x00\x03"sv), FileKind::SevenZip},
      {With(0, "7z\xBC\xAF\x27\x1C\x00\x04"sv), FileKind::SevenZip},
      {With(0, "7z\xBC\xAF\x27\x1C\x00\x05"sv), FileKind::None},
      {With(0, "%PDF-"sv), FileKind::Pdf},
      {With(0,
            "\x00\x00\x00\x18"
            "ftyp3gp4"sv),
       FileKind::ThreeGp},
      {With(0,
            "\x00\x00\x00\x18"
            "ftypmp42"sv),
       FileKind::Mp4},
      {With(0,
            "\x00\x00\x00\x18"
            "ftypqt  "sv),
       FileKind::IsoMediaOther},
      {With(0,
            "\x00\x01\x00\x18"
            "ftypmp42"sv),
       FileKind::None},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(Identify(cases[i].first), cases[i].second) << "case " << i;
  }
}

// Kinds added later are looked for only where the older table finds nothing.
TEST(Identify, LaterKindsNeedTheirWholeSignatureAndNeverShadowAnOlderKind) {
  Sector executable = With(0, "MZ"sv);
  PutLe32(executable, 0x3C, 0x80);
  Put(executable, 0x80, "PE\x00\x00"sv);
  Sector stub_only = executable;
  Put(stub_only, 0x80, "NE\x00\x00"sv);
  Sector elsewhere = executable;
  PutLe32(elsewhere, 0x3C, 0x84);
  Sector outside = executable;
  PutLe32(outside, 0x3C, 0x1FE);
  Sector pointer_in_stub = executable;
  PutLe32(pointer_in_stub, 0x3C, 0x38);
  Sector ogg = With(0, "OggS\x00\x02"sv);
  ogg[26] = 1;
  Sector ogg_later_page = ogg;
  PutLe32(ogg_later_page, 18, 1);
  Sector sun_audio = With(0, ".snd"sv);
  for (const auto& [at, value] :
       {std::pair{4u, 24u}, {8u, 100u}, {12u, 3u}, {16u, 8000u}, {20u, 1u}}) {
    PutBe32(sun_audio, at, value);
  }
  Sector sun_no_encoding = sun_audio;
  PutBe32(sun_no_encoding, 12, 0);
  Sector wavpack = With(0, "wvpk\x20\x00\x00\x00\x10\x04"sv);
  Sector wavpack_later_block = wavpack;
  PutLe32(wavpack_later_block, 16, 4096);
  // Two frames of 16 bytes, then one at another sample rate.
  Sector adts{};
  for (size_t at = 0; at < 48; at += 16) Put(adts, at, "\xFF\xF1\x50\x80\x02\x1F\xFC"sv);
  Sector adts_other_rate = adts;
  adts_other_rate[18] = 0x54;
  // MPEG-1 Layer III at 128 kbit/s, 44.1 kHz, stereo: the info after 32
  // bytes of side information.
  Sector mpeg_audio = With(0, "\xFF\xFB\x90\x00"sv);
  Put(mpeg_audio, 36, "Xing"sv);
  Sector mpeg_audio_elsewhere = With(0, "\xFF\xFB\x90\x00"sv);
  Put(mpeg_audio_elsewhere, 40, "Xing"sv);
  // A directory sector whose first entry happens to start "GIF87A".
  Sector directory{};
  PutDirEntry(directory, 0, "GIF87A  TXT"sv, 0x20);
  PutDirEntry(directory, 1, "OTHER   TXT"sv, 0x20);
  const std::vector<std::pair<Sector, FileKind>> cases = {
      {With(0, "GIF87a"sv), FileKind::Gif87a},
      {With(0, "GIF87b"sv), FileKind::None},
      {With(0, "RIFF\x10\x00\x00\x00WEBP"sv), FileKind::RiffWebp},
      {With(0, "\x1A\x45\xDF\xA3"sv), FileKind::Matroska},
      {With(0, "SQLite format 3\x00"sv), FileKind::Sqlite},
      {With(0, "SQLite format 3 "sv), FileKind::None},
      {executable, FileKind::WindowsExecutable},
      {stub_only, FileKind::None},
      {elsewhere, FileKind::None},
      {outside, FileKind::None},
      {pointer_in_stub, FileKind::None},
      {ogg, FileKind::Ogg},
      {ogg_later_page, FileKind::None},
      {With(0,
            "FORM\x00\x00\x10\x00"
            "AIFF"sv),
       FileKind::Aiff},
      {With(0,
            "FORM\x00\x00\x10\x00"
            "AIFC"sv),
       FileKind::Aiff},
      {With(0,
            "FORM\x00\x00\x10\x00"
            "8SVX"sv),
       FileKind::None},
      {sun_audio, FileKind::SunAudio},
      {sun_no_encoding, FileKind::None},
      {With(0,
            "riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00\x00\x10\x00\x00\x00\x00\x00\x00"
            "wave\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A"sv),
       FileKind::Wave64},
      {With(0, "riff\x2E\x91\xCF\x11"sv), FileKind::None},
      {wavpack, FileKind::WavPack},
      {wavpack_later_block, FileKind::None},
      {With(0,
            "caff\x00\x01\x00\x00"
            "desc"sv),
       FileKind::Caf},
      {With(0,
            "caff\x00\x02\x00\x00"
            "desc"sv),
       FileKind::None},
      {adts, FileKind::Adts},
      {adts_other_rate, FileKind::None},
      {mpeg_audio, FileKind::MpegAudio},
      {mpeg_audio_elsewhere, FileKind::None},
      {directory, FileKind::FatDirectory},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(Identify(cases[i].first), cases[i].second) << "case " << i;
  }
}

TEST(Identify, BitmapWithReservedFieldIsNotAFile) {
  // Would otherwise pass as a directory sector with two live entries.
  Sector sector{};
  PutDirEntry(sector, 0, "BM000XY1TXT"sv, 0x20);
  PutDirEntry(sector, 1, "OTHER   TXT"sv, 0x20);
  EXPECT_EQ(Identify(sector), FileKind::None);
  sector[0] = 'C';
  EXPECT_EQ(Identify(sector), FileKind::FatDirectory);
}

TEST(Identify, RiffFormDecidesTheKindAndUnknownFormsAreNothing) {
  for (const auto& [form, kind] : {std::pair{"AVI "sv, FileKind::RiffAvi},
                                   {"AVIX"sv, FileKind::None},
                                   {"WAVE"sv, FileKind::RiffWave},
                                   {"ACON"sv, FileKind::RiffAnimatedCursor},
                                   {"CDXA"sv, FileKind::RiffCdxa},
                                   {"CDR9"sv, FileKind::RiffCdr},
                                   {"cdr5"sv, FileKind::RiffCdr}}) {
    Sector sector = With(0, "RIFF\x10\x00\x00\x00"sv);
    Put(sector, 8, form);
    EXPECT_EQ(Identify(sector), kind) << form;
  }
}

TEST(Identify, AsfHeaderIsSplitByTheObjectThatFollowsIt) {
  Sector sector = With(0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA"sv);
  EXPECT_EQ(Identify(sector), FileKind::AsfOther);
  Put(sector, 30, "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00"sv);
  EXPECT_EQ(Identify(sector), FileKind::AsfWithProperties);
}

TEST(Identify, ZipIsNamedByItsFirstEntry) {
  for (const auto& [name, kind] : {std::pair{"[Content_Types].xml"sv, FileKind::ZippedXml},
                                   {"content/riffData.cdr"sv, FileKind::ZippedCdr},
                                   {"word/document.xml"sv, FileKind::Zip}}) {
    Sector sector = With(0, "PK\x03\x04"sv);
    Put(sector, 30, name);
    EXPECT_EQ(Identify(sector), kind) << name;
  }
}

TEST(PackClock, ReadsBackAThirtyThreeBitClockOrZeroOnABrokenMarker) {
  for (const uint64_t clock : {0x1'2345'6789ull, 0x1'FFFF'FFFFull, 0x4000'8001ull}) {
    EXPECT_EQ(ReadPackClockMpeg2(MpegPack(true, clock)), clock);
    EXPECT_EQ(ReadPackClockMpeg1(MpegPack(false, clock)), clock);
    EXPECT_EQ(ReadPackClockMpeg2(MpegPack(true, clock, 0)), 0u);
    EXPECT_EQ(ReadPackClockMpeg1(MpegPack(false, clock, 0)), 0u);
  }
  const Sector sector = MpegPack(false, 12345);
  EXPECT_EQ(ReadPackClockMpeg1(std::span(sector).first(11)), 0u);
}

TEST(Identify, MpegPackHeaderIsSplitByLayoutAndClock) {
  EXPECT_EQ(Identify(MpegPack(true, 0)), FileKind::Mpeg2PackStart);
  EXPECT_EQ(Identify(MpegPack(true, 0x1234, 0)), FileKind::Mpeg2PackStart);
  EXPECT_EQ(Identify(MpegPack(true, 0x1234)), FileKind::Mpeg2Pack);
  EXPECT_EQ(Identify(MpegPack(false, 0)), FileKind::Mpeg1PackStart);
  EXPECT_EQ(Identify(MpegPack(false, 90000)), FileKind::Mpeg1Pack);
  EXPECT_EQ(Identify(With(0, "\x00\x00\x01\xBA\x80"sv)), FileKind::None);
  EXPECT_EQ(Identify(With(0, "\x00\x00\x01\xBA\x10"sv)), FileKind::None);
}

TEST(Identify, TransportStreamsNeedThreeSyncBytesAndCloseTimeStamps) {
  EXPECT_EQ(Identify(M2ts(0, 1000, 2000)), FileKind::M2tsStart);
  EXPECT_EQ(Identify(M2ts(0xFFFF'FF00, 0x100, 0x200)), FileKind::M2tsPacket);  // clock wraps
  // The top two bits of a time stamp are not part of the arrival time.
  EXPECT_EQ(Identify(M2ts(0, 0x4000'0010, 0x8000'0020)), FileKind::M2tsStart);
  EXPECT_EQ(Identify(M2ts(5, 5 + 3'200'001, 5 + 3'200'002)), FileKind::None);
  // An MPEG-2 pack header whose first byte after the start code is 47.
  const Sector pack = MpegPack(true, 0x3000'0000);
  EXPECT_EQ(Identify(M2ts(0x1BA, 0x1BA + 300, 0x1BA + 600, pack)), FileKind::M2tsPacket);
  EXPECT_EQ(Identify(M2ts(0x1BA, 0x1BA + 300, 0x7000'0000, pack)), FileKind::Mpeg2Pack);

  Sector ts{};
  for (const size_t at : {0, 188, 376}) Put(ts, at, "\x47\x40"sv);
  EXPECT_EQ(Identify(ts), FileKind::MpegTsPacket);
  ts[189] = 0x47;
  EXPECT_EQ(Identify(ts), FileKind::None);
}

TEST(Identify, DirectorySectorWithDotEntriesIsAFatDirectory) {
  Sector sector{};
  PutDirEntry(sector, 0, "."sv, 0x10);
  PutDirEntry(sector, 1, ".."sv, 0x10);
  EXPECT_EQ(Identify(sector), FileKind::FatDirectory);
}

TEST(Identify, DirectoryScoresLiveEntriesTwiceDeletedOnceAndLongNamesNot) {
  const auto with_entries = [](std::vector<std::pair<uint8_t, uint8_t>> entries) {
    Sector sector{};
    for (size_t i = 0; i < entries.size(); ++i) {
      PutDirEntry(sector, i, "NAME    TXT"sv, entries[i].second);
      sector[i * 32] = entries[i].first;
      if (entries[i].second == 0x0F) sector[i * 32 + 2] = 0;  // UTF-16 name bytes
    }
    return Identify(sector);
  };
  EXPECT_EQ(with_entries({{'A', 0x20}}), FileKind::FatDirectory);
  EXPECT_EQ(with_entries({{0xE5, 0x20}}), FileKind::None);
  EXPECT_EQ(with_entries({{0xE5, 0x20}, {0xE5, 0xFF}}), FileKind::FatDirectory);
  EXPECT_EQ(with_entries({{0x41, 0x0F}, {0x01, 0x0F}}), FileKind::None);
  EXPECT_EQ(with_entries({{0x01, 0x0F}, {'A', 0x20}}), FileKind::FatDirectory);
  EXPECT_EQ(with_entries({}), FileKind::None);
}

TEST(Identify, ImplausibleEntryMeansNoDirectory) {
  const auto with_second = [](auto change) {
    Sector sector{};
    PutDirEntry(sector, 0, "FIRST   TXT"sv, 0x20);
    PutDirEntry(sector, 1, "SECOND  TXT"sv, 0x20);
    change(sector, 32);
    return Identify(sector);
  };
  EXPECT_EQ(with_second([](Sector&, size_t) {}), FileKind::FatDirectory);
  EXPECT_EQ(with_second([](Sector& s, size_t e) {
              s[e] = 0;
              s[e + 32] = 'X';
            }),
            FileKind::None);
  EXPECT_EQ(with_second([](Sector& s, size_t e) { s[e] = ' '; }), FileKind::None);
  EXPECT_EQ(with_second([](Sector& s, size_t e) { s[e + 10] = '*'; }), FileKind::None);
  EXPECT_EQ(with_second([](Sector& s, size_t e) { s[e + 11] = 0x30; }), FileKind::None);
  EXPECT_EQ(with_second([](Sector& s, size_t e) {
              s[e + 11] = 0x10;
              s[e + 28] = 1;
            }),
            FileKind::None);
  for (const uint16_t date : {(4 << 9) | (6 << 5) | 1, (30 << 9) | (13 << 5) | 1,
                              (30 << 9) | (0 << 5) | 1, (30 << 9) | (6 << 5)}) {
    EXPECT_EQ(with_second([date](Sector& s, size_t e) {
                s[e + 24] = date & 0xFF;
                s[e + 25] = date >> 8;
              }),
              FileKind::None)
        << std::hex << date;
  }
}

TEST(Identify, LooksOnlyAtTheFirst512Bytes) {
  const Sector jpeg = With(0, "\xFF\xD8\xFF\xE0"sv);
  EXPECT_EQ(Identify(std::span(jpeg).first(kIdentifyBytes - 1)), FileKind::None);
  std::vector<uint8_t> longer(2 * kIdentifyBytes, 0xFF);
  Sector dir{};
  PutDirEntry(dir, 0, "."sv, 0x10);
  std::copy(dir.begin(), dir.end(), longer.begin());
  EXPECT_EQ(Identify(longer), FileKind::FatDirectory);
}

TEST(IsShortNameChar, RejectsControlBytesFFAndReservedPunctuation) {
  for (int byte = 0; byte < 256; ++byte) {
    const bool expected = byte >= 0x20 && byte != 0xFF &&
                          "\\/:*?\"<>|"sv.find(static_cast<char>(byte)) == std::string_view::npos;
    EXPECT_EQ(IsShortNameChar(static_cast<uint8_t>(byte)), expected) << byte;
  }
}

TEST(SwapBytes32, ReversesTheByteOrder) {
  uint32_t value = 0x1122'3344;
  SwapBytes32(value);
  EXPECT_EQ(value, 0x4433'2211u);
}

TEST(FileKindName, GivesEveryKindItsOwnNameAndUnusedValuesUnknown) {
  std::set<std::string_view> names;
  for (int value = 0; value < 256; ++value) {
    const std::string_view name = FileKindName(static_cast<FileKind>(value));
    const bool used = value <= 49 || value == 100;
    EXPECT_EQ(name == "unknown", !used) << value;
    if (used) {
      EXPECT_TRUE(names.insert(name).second) << name;
    }
  }
}

}  // namespace
}  // namespace officecarve
