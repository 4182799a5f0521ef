#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"

namespace officecarve {
namespace {

using testing::DocumentAroundForeignFile;
using testing::ImageWith;
using testing::kShifts;
using testing::NameAt;
using testing::SampleDocument;
using testing::UnitsFor;
using namespace std::string_view_literals;

constexpr uint16_t kByte = 1;
constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint16_t kRational = 5;
constexpr uint16_t kDirectoryType = 13;

struct Entry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t value;
};

// TIFF-structured bytes laid out by hand, for the camera raw headers no free
// tool writes and for files built to mislead.
class HandBuiltTiff {
 public:
  HandBuiltTiff(std::string_view magic, size_t size, uint32_t first_directory = 8)
      : big_endian_(magic[0] == 'M'), bytes_(size) {
    std::copy(magic.begin(), magic.end(), bytes_.begin());
    Put32(4, first_directory);
  }

  HandBuiltTiff& Directory(uint32_t at, const std::vector<Entry>& entries, uint32_t next = 0) {
    Put16(at, static_cast<uint16_t>(entries.size()));
    uint32_t entry_at = at + 2;
    for (const Entry& entry : entries) {
      Put16(entry_at, entry.tag);
      Put16(entry_at + 2, entry.type);
      Put32(entry_at + 4, entry.count);
      Put32(entry_at + 8, entry.value);
      entry_at += 12;
    }
    Put32(entry_at, next);
    return *this;
  }

  HandBuiltTiff& Put16(size_t at, uint16_t value) {
    bytes_.at(at + (big_endian_ ? 1 : 0)) = static_cast<uint8_t>(value);
    bytes_.at(at + (big_endian_ ? 0 : 1)) = static_cast<uint8_t>(value >> 8);
    return *this;
  }

  HandBuiltTiff& Put32(size_t at, uint32_t value) {
    const uint16_t low = static_cast<uint16_t>(value), high = static_cast<uint16_t>(value >> 16);
    Put16(at + (big_endian_ ? 2 : 0), low);
    return Put16(at + (big_endian_ ? 0 : 2), high);
  }

  // Two 16-bit elements kept in an entry's value field, as Directory writes it.
  uint32_t Shorts(uint16_t first, uint16_t second = 0) const {
    return big_endian_ ? (uint32_t{first} << 16) | second : first | (uint32_t{second} << 16);
  }

  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  bool big_endian_;
  std::vector<uint8_t> bytes_;
};

// A camera raw file in miniature: a strip, an Exif sub-directory with a
// rational and a preview, and a second directory whose raw strip (its byte
// count a SHORT in the value field) runs to byte 2600.
std::vector<uint8_t> MiniatureRaw(std::string_view magic) {
  HandBuiltTiff tiff(magic, 2600, 16);
  tiff.Directory(16,
                 {{256, kShort, 1, tiff.Shorts(32)},
                  {273, kLong, 1, 200},
                  {279, kLong, 1, 300},
                  {34665, kLong, 1, 700}},
                 1000)
      .Directory(700, {{33434, kRational, 1, 800}, {513, kLong, 1, 1100}, {514, kLong, 1, 400}})
      .Directory(1000, {{273, kLong, 1, 1600}, {279, kShort, 1, tiff.Shorts(1000)}});
  return tiff.Bytes();
}

struct Sample {
  std::string name;
  std::function<std::vector<uint8_t>()> bytes;
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.name; }

Sample RealFile(const std::string& file) {
  return {file, [file] { return SampleDocument(file); }};
}

Sample Miniature(const std::string& name, std::string_view magic) {
  return {name, [magic] { return MiniatureRaw(magic); }};
}

const Sample kSamples[] = {
    RealFile("tiff_strips_le.tif"),      RealFile("tiff_strips_be.tif"),
    RealFile("tiff_tiled.tif"),          RealFile("tiff_pages_be.tif"),
    Miniature("cr2_like", "II\x2A\0"sv), Miniature("orf_le", "IIRO"sv),
    Miniature("orf_be", "MMOR"sv),       Miniature("rw2_le", "IIU\0"sv),
    Miniature("rw2_be", "MM\0U"sv),
};

class TiffSamples : public testing::CarverHarness,
                    public ::testing::WithParamInterface<std::tuple<Sample, int64_t, uint32_t>> {};

TEST_P(TiffSamples, AreClaimedThroughTheirLastUnitAndTheRestOfItsCluster) {
  const auto& [sample, shift, cluster] = GetParam();
  const std::vector<uint8_t> file = sample.bytes();
  const int64_t units = UnitsFor(file.size(), 512);
  Open(ImageWith(file, shift, shift + units + 9));
  SetClusters(cluster);

  Carve(&CarveTiff, shift);

  int64_t last = shift + units - 1;
  while ((last + 1) % cluster != 0) ++last;
  EXPECT_EQ(ClaimedUnits(), UnitRange(shift, last - shift + 1));
}

INSTANTIATE_TEST_SUITE_P(RealAndHandBuilt, TiffSamples,
                         ::testing::Combine(::testing::ValuesIn(kSamples),
                                            ::testing::ValuesIn(kShifts),
                                            ::testing::Values(1u, 4u)),
                         [](const auto& info) {
                           std::string name = std::get<0>(info.param).name;
                           for (char& c : name) {
                             if (c == '.') c = '_';
                           }
                           return name + "_at_" + std::to_string(std::get<1>(info.param)) +
                                  "_cluster_" + std::to_string(std::get<2>(info.param));
                         });

struct Surrounding {
  const char* document;
  const char* extension;
  const char* tiff;
  int64_t first_units;
};

void PrintTo(const Surrounding& surrounding, std::ostream* out) {
  *out << surrounding.document << " around " << surrounding.tiff;
}

class DocumentAroundTiff : public testing::CarverHarness,
                           public ::testing::WithParamInterface<std::tuple<Surrounding, int64_t>> {
};

TEST_P(DocumentAroundTiff, ComesBackWholeAndTheTiffIsClaimedExactly) {
  const auto& [surrounding, start] = GetParam();
  const std::vector<uint8_t> document = SampleDocument(surrounding.document);
  const std::vector<uint8_t> tiff = SampleDocument(surrounding.tiff);
  const testing::InterleavedImage layout =
      DocumentAroundForeignFile(document, tiff, start, surrounding.first_units);
  Open(layout.image);

  ExpectOnlyRecovered(ScanAll(), NameAt(start, surrounding.extension), document);

  Carve(&CarveTiff, layout.foreign_start);
  EXPECT_EQ(ClaimedUnits(), UnitRange(layout.foreign_start, layout.foreign_units));
}

INSTANTIATE_TEST_SUITE_P(RealFiles, DocumentAroundTiff,
                         ::testing::Combine(::testing::Values(Surrounding{"letter.doc", ".DOC",
                                                                          "tiff_strips_le.tif", 9},
                                                              Surrounding{"minutes.docx", ".DOCX",
                                                                          "tiff_pages_be.tif", 5}),
                                            ::testing::ValuesIn(kShifts)));

// Hand-built files of one directory (or a few), each claimed through the
// farthest byte anything in it refers to.
struct Layout {
  const char* what;
  std::function<HandBuiltTiff()> build;
  uint64_t file_end;
};

void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.what; }

HandBuiltTiff StripsUpTo3000000() {
  HandBuiltTiff tiff("II\x2A\0"sv, 3'000'000);
  tiff.Directory(8, {{273, kLong, 3, 100}, {279, kLong, 3, 120}});
  // Offsets, then byte counts; the last strip is not the last one listed.
  tiff.Put32(100, 200).Put32(104, 2'990'000).Put32(108, 1000);
  return tiff.Put32(120, 50).Put32(124, 10'000).Put32(128, 24);
}

HandBuiltTiff BigEndianShortStrips() {
  // Read little-endian, 0x0A01 would be 266 bytes and the file three units.
  HandBuiltTiff tiff("MM\0\x2A"sv, 3585);
  return tiff.Directory(
      8, {{273, kShort, 2, tiff.Shorts(1024, 40)}, {279, kShort, 2, tiff.Shorts(0x0A01, 16)}});
}

HandBuiltTiff InlineSingleStrip() {
  return HandBuiltTiff("II\x2A\0"sv, 6000)
      .Directory(8, {{273, kLong, 1, 5000}, {279, kLong, 1, 1000}});
}

HandBuiltTiff UnknownTypes() {
  // Followed, each of these would fail the file or reach beyond it.
  return HandBuiltTiff("II\x2A\0"sv, 2000)
      .Directory(8, {{273, 99, 1000, 0xFFFFFF00},
                     {279, kLong, 1, 1500},
                     {34665, kDirectoryType, 1, 8},
                     {330, 0, 5, 0x7FFFFFFF},
                     {48321, 200, 1, 0xFFFFFFFF}});
}

HandBuiltTiff StripOffsetsFromTag280() {
  HandBuiltTiff tiff("II\x2A\0"sv, 3500);
  tiff.Directory(8, {{273, kLong, 1, 0xFFFFFFFF}, {280, kLong, 1, 2000}, {279, kLong, 1, 500}});
  return tiff.Put32(2000, 3000);
}

HandBuiltTiff FreeAreas() {
  HandBuiltTiff tiff("MM\0\x2A"sv, 4100);
  tiff.Directory(8, {{288, kLong, 2, 100}, {289, kShort, 2, tiff.Shorts(10, 100)}});
  return tiff.Put32(100, 50).Put32(104, 4000);
}

HandBuiltTiff OffsetLengthPair(uint16_t offset_tag, bool with_offset) {
  HandBuiltTiff tiff("II\x2A\0"sv, 5000);
  if (!with_offset)
    return tiff.Directory(8, {{static_cast<uint16_t>(offset_tag + 1), kLong, 1, 4000}});
  return tiff.Directory(
      8, {{offset_tag, kLong, 1, 4000}, {static_cast<uint16_t>(offset_tag + 1), kLong, 1, 1000}});
}

HandBuiltTiff TwoSubDirectories() {
  HandBuiltTiff tiff("MM\0\x2A"sv, 3000);
  tiff.Directory(8, {{330, kLong, 2, 100}}).Put32(100, 200).Put32(104, 300);
  tiff.Directory(200, {{273, kLong, 1, 2500}, {279, kLong, 1, 500}});
  return tiff.Directory(300, {{273, kLong, 1, 600}, {279, kLong, 1, 10}});
}

// Directories nested `depth` deep below the first, the deepest holding a strip.
HandBuiltTiff NestedSubDirectories(int depth) {
  HandBuiltTiff tiff("II\x2A\0"sv, 3000);
  for (int level = 0; level < depth; ++level) {
    tiff.Directory(8 + 100 * level, {{34665, kLong, 1, 8 + 100 * (level + 1u)}});
  }
  return tiff.Directory(8 + 100 * depth, {{273, kLong, 1, 2900}, {279, kLong, 1, 100}});
}

HandBuiltTiff FewerCountsThanOffsets() {
  HandBuiltTiff tiff("II\x2A\0"sv, 4000);
  tiff.Directory(8, {{273, kLong, 3, 100}, {279, kLong, 1, 200}});
  return tiff.Put32(100, 1000).Put32(104, 3900).Put32(108, 3950);
}

const Layout kLayouts[] = {
    {"last strip ends at byte 3,000,000", StripsUpTo3000000, 3'000'000},
    {"big-endian SHORT strips in the value field", BigEndianShortStrips, 3585},
    {"single LONG strip in the value field", InlineSingleStrip, 6000},
    {"unknown types are ignored", UnknownTypes, 512},
    {"strip offsets placed by tag 280", StripOffsetsFromTag280, 3500},
    {"free areas", FreeAreas, 4100},
    {"thumbnail pair", [] { return OffsetLengthPair(513, true); }, 5000},
    {"preview pair", [] { return OffsetLengthPair(48320, true); }, 5000},
    {"a length without its offset is not checked", [] { return OffsetLengthPair(513, false); },
     512},
    {"a list of two sub-directories", TwoSubDirectories, 3000},
    {"sub-directories eight deep", [] { return NestedSubDirectories(8); }, 3000},
    {"counts shorter than offsets", FewerCountsThanOffsets, 1200},
};

class TiffLayouts : public testing::CarverHarness,
                    public ::testing::WithParamInterface<std::tuple<Layout, int64_t>> {};

TEST_P(TiffLayouts, AreClaimedThroughTheFarthestByteReferenced) {
  const auto& [layout, shift] = GetParam();
  const std::vector<uint8_t> file = layout.build().Bytes();
  Open(ImageWith(file, shift, shift + UnitsFor(file.size(), 512) + 9));

  Carve(&CarveTiff, shift);

  EXPECT_EQ(ClaimedUnits(), UnitRange(shift, UnitsFor(layout.file_end, 512)));
}

INSTANTIATE_TEST_SUITE_P(HandBuilt, TiffLayouts,
                         ::testing::Combine(::testing::ValuesIn(kLayouts),
                                            ::testing::ValuesIn(kShifts)));

// Files that must be given up whole, quickly, leaving nothing claimed.
HandBuiltTiff ExifBeyond200MiB() {
  return HandBuiltTiff("II\x2A\0"sv, 1000)
      .Directory(8, {{273, kLong, 1, 100}, {279, kLong, 1, 50}, {34665, kLong, 1, 250u << 20}});
}

HandBuiltTiff SelfLinkedDirectory() {
  return HandBuiltTiff("II\x2A\0"sv, 600)
      .Directory(8, {{273, kLong, 1, 100}, {279, kLong, 1, 500}}, 8);
}

HandBuiltTiff SubDirectoryPointingAtItsParent() {
  return HandBuiltTiff("MM\0\x2A"sv, 600)
      .Directory(8, {{34665, kLong, 1, 100}})
      .Directory(100, {{330, kLong, 1, 8}});
}

HandBuiltTiff HugeEntryCount() {
  HandBuiltTiff tiff("II\x2A\0"sv, 600);
  return tiff.Put16(8, 0xFFFF);
}

// 32 bits, 0x80000002 SHORTs would be four bytes in the value field.
HandBuiltTiff CountTimesSizeWraps() {
  HandBuiltTiff tiff("II\x2A\0"sv, 600);
  return tiff.Directory(
      8, {{273, kShort, 0x80000002, tiff.Shorts(100, 200)}, {279, kShort, 2, tiff.Shorts(10, 10)}});
}

// 16,000 directories of 65,535 entries, each starting four bytes after the
// one before and linking to it: without a bound on the entries visited, a
// file under a megabyte costs a billion entry reads.
HandBuiltTiff OverlappingDirectoryChain() {
  constexpr uint32_t kDirectories = 16000;
  constexpr uint32_t kLinkDistance = 2 + 12 * 65535;
  HandBuiltTiff tiff("II\x2A\0"sv, 8 + kLinkDistance + 4 * kDirectories);
  for (uint32_t i = 0; i < kDirectories; ++i) {
    const uint32_t at = 8 + 4 * i;
    tiff.Put32(at, 0xFFFFFFFF).Put32(at + kLinkDistance, i + 1 < kDirectories ? at + 4 : 0);
  }
  return tiff;
}

HandBuiltTiff ByteStripOffsets() {
  return HandBuiltTiff("II\x2A\0"sv, 600)
      .Directory(8, {{273, kByte, 2, 100}, {279, kLong, 1, 500}});
}

const Layout kHostile[] = {
    {"Exif directory beyond 200 MiB", ExifBeyond200MiB, 0},
    {"next-directory link to itself", SelfLinkedDirectory, 0},
    {"sub-directory pointing at its parent", SubDirectoryPointingAtItsParent, 0},
    {"65,535 entries running past the range", HugeEntryCount, 0},
    {"count times size beyond 32 bits", CountTimesSizeWraps, 0},
    {"overlapping directory chain", OverlappingDirectoryChain, 0},
    {"sub-directories nine deep", [] { return NestedSubDirectories(9); }, 0},
    {"strip offsets of one byte each", ByteStripOffsets, 0},
    {"not a TIFF header", [] { return HandBuiltTiff("II+\0"sv, 600); }, 0},
};

class HostileTiffs : public TiffLayouts {};

TEST_P(HostileTiffs, AreGivenUpWithoutReadingOnAndReleaseEverything) {
  const auto& [layout, shift] = GetParam();
  const std::vector<uint8_t> file = layout.build().Bytes();
  // Room a careless walk would read through before failing.
  Open(ImageWith(file, shift, shift + UnitsFor(file.size(), 512) + 1000));

  Carve(&CarveTiff, shift);

  ExpectNoTrace();
}

INSTANTIATE_TEST_SUITE_P(HandBuilt, HostileTiffs,
                         ::testing::Combine(::testing::ValuesIn(kHostile),
                                            ::testing::ValuesIn(kShifts)));

class TiffCarver : public testing::CarverHarness, public ::testing::WithParamInterface<int64_t> {
 protected:
  int64_t Shift() const { return GetParam(); }
};

TEST_P(TiffCarver, GivesUpAFileWithAnUnreadableStripOrOneRunningPastTheRange) {
  const std::vector<uint8_t> tiff = SampleDocument("tiff_strips_le.tif");
  const int64_t units = UnitsFor(tiff.size(), 512);
  for (const bool range_ends_early : {false, true}) {
    SCOPED_TRACE(range_ends_early);
    Open(ImageWith(tiff, Shift(), Shift() + units + 9));
    if (range_ends_early) {
      SetRangeLast(Shift() + units - 2);
    } else {
      unreadable_->insert(Shift() + 5);
    }

    Carve(&CarveTiff, Shift());

    ExpectNoTrace();
  }
}

TEST_P(TiffCarver, DoesNotReadTowardsADirectoryBeyond200MiB) {
  const std::vector<uint8_t> file = ExifBeyond200MiB().Bytes();
  Open(ImageWith(file, Shift(), Shift() + 1000));

  Carve(&CarveTiff, Shift());

  ExpectNoTrace();
  // Holding first would have read the 999 units after the header, showing
  // the progress line every 200 of them.
  EXPECT_EQ(frontend_.pumps, 0);
}

INSTANTIATE_TEST_SUITE_P(Shifts, TiffCarver, ::testing::ValuesIn(kShifts));

}  // namespace
}  // namespace officecarve
