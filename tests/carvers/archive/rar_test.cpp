#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/placed_file_cases.h"

namespace officecarve {
namespace {

using testimage::PseudoRandomBytes;
using testing::AppendLe;
using testing::UnitsFor;

constexpr uint8_t kEndOfArchive = 0x7B;

// A block as archivers write it: the CRC of the header from its type byte on,
// type, flags, header size, then the block's own fields.
void AppendBlock(std::vector<uint8_t>& out, uint8_t type, uint16_t flags,
                 const std::vector<uint8_t>& fields) {
  std::vector<uint8_t> header{type};
  AppendLe(header, flags, 2);
  AppendLe(header, 7 + fields.size(), 2);
  header.insert(header.end(), fields.begin(), fields.end());
  AppendLe(out, crc32(0, header.data(), static_cast<uInt>(header.size())) & 0xFFFF, 2);
  out.insert(out.end(), header.begin(), header.end());
}

struct RarEntry {
  std::string name;
  size_t packed_bytes;
};

struct Rar {
  std::vector<uint8_t> bytes;
  std::vector<size_t> blocks;  // offset of every block after the marker
  std::vector<size_t> data;    // offset of every entry's packed data
};

// A stored archive: marker, archive header, a file header (with the long-block
// flag: its packed data follows as the added size) and packed data per entry,
// end-of-archive block.
Rar MakeRar(const std::vector<RarEntry>& entries) {
  Rar rar{{'R', 'a', 'r', '!', 0x1A, 0x07, 0x00}, {}, {}};
  rar.blocks.push_back(rar.bytes.size());
  AppendBlock(rar.bytes, 0x73, 0, std::vector<uint8_t>(6, 0));
  uint32_t seed = 3;
  for (const RarEntry& entry : entries) {
    const std::vector<uint8_t> packed = PseudoRandomBytes(entry.packed_bytes, seed++);
    std::vector<uint8_t> fields;
    AppendLe(fields, packed.size(), 4);  // packed size
    AppendLe(fields, packed.size(), 4);  // unpacked size
    fields.push_back(2);                 // host: Windows
    AppendLe(fields, crc32(0, packed.data(), static_cast<uInt>(packed.size())), 4);
    AppendLe(fields, 0x5A8C6B21, 4);  // DOS time stamp
    fields.push_back(29);             // version needed to extract
    fields.push_back(0x30);           // method: stored
    AppendLe(fields, entry.name.size(), 2);
    AppendLe(fields, 0x20, 4);  // attributes: archive
    fields.insert(fields.end(), entry.name.begin(), entry.name.end());
    rar.blocks.push_back(rar.bytes.size());
    AppendBlock(rar.bytes, 0x74, 0x8000, fields);
    rar.data.push_back(rar.bytes.size());
    rar.bytes.insert(rar.bytes.end(), packed.begin(), packed.end());
  }
  rar.blocks.push_back(rar.bytes.size());
  AppendBlock(rar.bytes, kEndOfArchive, 0x4000, {});
  return rar;
}

Rar SmallRar() { return MakeRar({{"notes.txt", 700}, {"photo.jpg", 300}}); }

using RarCarver = testing::PlacedFileCases;

TEST_P(RarCarver, ClaimsAnArchiveThroughItsEndBlock) {
  const Rar rar = SmallRar();
  ASSERT_NE(rar.bytes.size() % 512, 0u);

  CarveAlone(&CarveRar, rar.bytes);

  EXPECT_EQ(ClaimedUnits(), Claimed(rar.bytes.size()));
}

TEST_P(RarCarver, ClaimsLongPackedDataWithoutReadingIt) {
  const Rar rar = MakeRar({{"setup.exe", 150 * 1024}, {"readme.txt", 900}});
  Place(rar.bytes);
  // Every unit wholly inside the long data, but its last, fails to read.
  const int64_t first_inside = (rar.data[0] + 511) / 512;
  const int64_t last_inside = rar.blocks[2] / 512 - 2;
  ASSERT_GT(last_inside - first_inside, 250);
  for (int64_t unit = first_inside; unit <= last_inside; ++unit) {
    unreadable_->insert(Shift() + unit);
  }

  Carve(&CarveRar, Shift());

  EXPECT_EQ(ClaimedUnits(), Claimed(rar.bytes.size()));
}

// The second file header starts ten bytes before a unit boundary and its
// added size lies across it, so reading the header takes the walk more than a
// unit into the block; the walk must still resume exactly where it ends.
TEST_P(RarCarver, ClaimsALongBlockWhoseHeaderStraddlesAUnitBoundary) {
  const Rar rar = MakeRar({{"notes.txt", 441}, {"setup.exe", 10 * 512 - 41}});
  ASSERT_EQ(rar.blocks[2] % 512, 502u);

  CarveAlone(&CarveRar, rar.bytes);

  EXPECT_EQ(ClaimedUnits(), Claimed(rar.bytes.size()));
}

// Far more small blocks than the buffer keeps: the walk goes on correctly
// after each compaction, and each one tells the user where it stands.
TEST_P(RarCarver, WalksALongRunOfSmallBlocks) {
  std::vector<RarEntry> entries;
  for (int i = 0; i < 120; ++i) entries.push_back({"part" + std::to_string(i) + ".txt", 611});
  const Rar rar = MakeRar(entries);
  ASSERT_LT(rar.bytes.size(), 200u * 512);  // no progress from the reader itself

  CarveAlone(&CarveRar, rar.bytes);

  EXPECT_EQ(ClaimedUnits(), Claimed(rar.bytes.size()));
  const std::string expected_start =
      std::string(texts_.Text(TextId::kSectorPrefix)) + std::to_string(Shift()) + ", ";
  EXPECT_EQ(frontend_.labels[1][3].rfind(expected_start, 0), 0u) << frontend_.labels[1][3];
}

// Each of these would send a plain walk backwards, nowhere or off the end.
TEST_P(RarCarver, GivesUpWhatDoesNotFollowTheBlockFormat) {
  // "notes.txt" makes the first file header 41 bytes long.
  constexpr uint64_t kFirstHeader = 41;
  const struct {
    const char* what;
    size_t block;  // index into Rar::blocks
    size_t field;  // byte offset within the block
    uint64_t value;
    int width;
  } cases[] = {
      {"the marker's own type after the marker", 0, 2, 0x72, 1},
      {"a type above the end block", 1, 2, 0x7C, 1},
      {"a header size of zero", 0, 5, 0, 2},
      {"an end block shorter than its header", 3, 5, 4, 2},
      {"a sum wrapping to less than a header", 1, 7, (1ull << 32) - kFirstHeader + 3, 4},
      {"a sum wrapping to a plausible block", 1, 7, 0xFFFFFFFF, 4},
      {"a length of 2 GiB", 1, 7, 0x80000000 - kFirstHeader, 4},
      {"a length just under 2 GiB, past the range", 1, 7, 0x7FFFFFFF - kFirstHeader, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rar rar = SmallRar();
    ASSERT_EQ(rar.bytes[rar.blocks[1] + 5], kFirstHeader);
    testing::PokeLe(rar.bytes, rar.blocks[c.block] + c.field, c.value, c.width);

    CarveAlone(&CarveRar, rar.bytes);

    ExpectNoTrace();
  }
}

TEST_P(RarCarver, GivesUpAnArchiveCutShortByTheRange) {
  Rar rar = MakeRar({{"setup.exe", 40 * 1024}});
  const int64_t units = UnitsFor(rar.bytes.size(), 512);
  // The range ends inside the packed data; then, with no end block, right
  // after the archive.
  Place(rar.bytes);
  SetRangeLast(Shift() + units / 2);
  Carve(&CarveRar, Shift());
  ExpectNoTrace();

  rar.bytes.resize(rar.blocks.back());
  Place(rar.bytes);
  SetRangeLast(Shift() + UnitsFor(rar.bytes.size(), 512) - 1);
  Carve(&CarveRar, Shift());
  ExpectNoTrace();
}

INSTANTIATE_TEST_SUITE_P(Placements, RarCarver, testing::PlacedFileValues(),
                         testing::PlacedFileName);

class RarScan : public testing::CarverHarness, public ::testing::WithParamInterface<int64_t> {};

TEST_P(RarScan, LetsADocumentAroundAnArchiveComeBackIntact) {
  const std::vector<uint8_t> document = testing::SampleDocument("letter.doc");
  const Rar rar = MakeRar({{"setup.exe", 30 * 1024}, {"readme.txt", 900}});
  auto built = testing::DocumentAroundForeignFile(document, rar.bytes, GetParam(), 11);
  Open(built.image);

  Carve(&CarveRar, built.foreign_start);
  EXPECT_EQ(ClaimedUnits(), UnitRange(built.foreign_start, built.foreign_units));

  const ScanReport report = ScanAll();
  EXPECT_EQ(report.found_by_kind[static_cast<size_t>(FileKind::Rar)], 1u);
  ExpectOnlyRecovered(report, testing::NameAt(GetParam(), ".DOC"), document);
}

INSTANTIATE_TEST_SUITE_P(Placements, RarScan, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
