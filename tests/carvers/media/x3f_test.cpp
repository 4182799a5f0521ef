#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/placed_file_cases.h"

namespace officecarve {
namespace {

using testimage::PseudoRandomBytes;
using testing::AppendLe;

constexpr size_t kHeaderBytes = 256;

void PokeText(std::vector<uint8_t>& out, size_t at, const std::string& text) {
  std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

// A camera raw file: the fixed header, a property section, the image
// section, the section directory with `entries` entries, and the last word
// pointing back at the directory.
std::vector<uint8_t> MakeX3f(size_t image_bytes, int entries) {
  std::vector<uint8_t> file = {'F', 'O', 'V', 'b'};
  AppendLe(file, 0x00020003, 4);  // version 2.3
  const std::vector<uint8_t> id = PseudoRandomBytes(16, 5);
  file.insert(file.end(), id.begin(), id.end());
  AppendLe(file, 0, 4);     // mark bits
  AppendLe(file, 2268, 4);  // columns
  AppendLe(file, 1512, 4);  // rows
  AppendLe(file, 0, 4);     // rotation
  file.resize(kHeaderBytes, 0);

  struct Section {
    size_t offset;
    size_t length;
    const char* type;
  };
  std::vector<Section> sections;
  sections.push_back({file.size(), 64, "PROP"});
  file.insert(file.end(), {'S', 'E', 'C', 'p'});
  file.resize(sections.back().offset + 64, 0);
  sections.push_back({file.size(), image_bytes, "IMA2"});
  std::vector<uint8_t> image = PseudoRandomBytes(image_bytes, 17);
  PokeText(image, 0, "SECi");
  file.insert(file.end(), image.begin(), image.end());
  while (file.size() % 4 != 0) file.push_back(0);

  const size_t directory = file.size();
  file.insert(file.end(), {'S', 'E', 'C', 'd'});
  AppendLe(file, 0x00020000, 4);
  AppendLe(file, static_cast<uint64_t>(entries), 4);
  for (int i = 0; i < entries; ++i) {
    const Section& section = sections[static_cast<size_t>(i) % sections.size()];
    AppendLe(file, section.offset, 4);
    AppendLe(file, section.length, 4);
    file.insert(file.end(), section.type, section.type + 4);
  }
  AppendLe(file, directory, 4);
  return file;
}

using X3fCarver = testing::PlacedFileCases;

TEST_P(X3fCarver, EndsRightAfterTheDirectoryPointer) {
  // One entry is the shortest directory accepted, eighteen the longest.
  for (const int entries : {1, 3, 18}) {
    SCOPED_TRACE(entries);
    const std::vector<uint8_t> file = MakeX3f(9000, entries);
    ASSERT_NE(file.size() % 512, 0u);

    CarveAlone(&CarveX3f, file);

    EXPECT_EQ(ClaimedUnits(), Claimed(file.size()));
  }
}

TEST_P(X3fCarver, PassesOverWordsThatOnlyLookLikeThePointer) {
  // Each decoy lies inside the image data; were it taken for the pointer,
  // the file would end there.
  constexpr size_t kAt = 6 * 512 + 64;
  const struct {
    const char* what;
    size_t signature_at;
    const char* signature;
    size_t word_at;
    uint32_t word;
  } decoys[] = {
      {"a directory without entries", kAt, "SECd", kAt + 12, kAt},
      {"a directory of nineteen entries", kAt, "SECd", kAt + 240, kAt},
      {"a word at the right distance from no directory", kAt, "SECx", kAt + 24, kAt},
      {"a word not on a four-byte boundary", kAt + 2, "SECd", kAt + 26, kAt + 2},
      {"a word pointing forward", kAt + 100, "SECd", kAt, kAt + 100},
      {"a pointer inside the header unit", 100, "SECd", 124, 100},
  };
  for (const auto& decoy : decoys) {
    SCOPED_TRACE(decoy.what);
    std::vector<uint8_t> file = MakeX3f(9000, 3);
    PokeText(file, decoy.signature_at, decoy.signature);
    testing::PokeLe(file, decoy.word_at, decoy.word, 4);

    CarveAlone(&CarveX3f, file);

    EXPECT_EQ(ClaimedUnits(), Claimed(file.size()));
  }
}

TEST_P(X3fCarver, GivesUpAFileWhosePointerIsNeverFound) {
  std::vector<uint8_t> misaligned = MakeX3f(9000, 3);
  // Two bytes more before the directory put the pointer off the word grid.
  misaligned.insert(misaligned.begin() + static_cast<std::ptrdiff_t>(kHeaderBytes + 70), {0, 0});
  const size_t directory = misaligned.size() - 4 - 12 - 3 * 12;
  testing::PokeLe(misaligned, misaligned.size() - 4, directory, 4);
  ASSERT_EQ(std::string(misaligned.begin() + directory, misaligned.begin() + directory + 4),
            "SECd");
  std::vector<uint8_t> zeros(20 * 512, 0);
  PokeText(zeros, 0, "FOVb");

  for (const auto& [what, file] :
       {std::pair{"misaligned", misaligned}, std::pair{"zeros", zeros}}) {
    SCOPED_TRACE(what);
    CarveAlone(&CarveX3f, file);
    ExpectNoTrace();
  }
}

INSTANTIATE_TEST_SUITE_P(Placements, X3fCarver, testing::PlacedFileValues(),
                         testing::PlacedFileName);

class X3fScan : public testing::CarverHarness, public ::testing::WithParamInterface<int64_t> {};

TEST_P(X3fScan, LetsADocumentAroundACameraRawFileComeBackIntact) {
  const std::vector<uint8_t> document = testing::SampleDocument("letter.doc");
  const std::vector<uint8_t> raw = MakeX3f(14000, 3);
  auto built = testing::DocumentAroundForeignFile(document, raw, GetParam(), 7);
  Open(built.image);

  Carve(&CarveX3f, built.foreign_start);
  EXPECT_EQ(ClaimedUnits(), UnitRange(built.foreign_start, built.foreign_units));

  const ScanReport report = ScanAll();
  EXPECT_EQ(report.found_by_kind[static_cast<size_t>(FileKind::X3f)], 1u);
  ExpectOnlyRecovered(report, testing::NameAt(GetParam(), ".DOC"), document);
}

INSTANTIATE_TEST_SUITE_P(Placements, X3fScan, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
