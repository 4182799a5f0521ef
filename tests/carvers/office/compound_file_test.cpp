#include <cstdint>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"
#include "testimage/doc_samples.h"

namespace officecarve {
namespace {

using testimage::BuildCompoundFile;
using testimage::CompoundFile;
using testimage::CompoundFileSpec;
using testimage::ImageBuilder;
using testimage::MakeCompoundFile;
using testing::ImageFragmentedAroundDirectories;
using testing::ImageWith;
using testing::kShifts;
using testing::NameAt;
using testing::SampleDocument;
using testing::UnitsFor;

constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;

using Sample = testing::DocumentSample;

// Real documents and the name each must come back under. The protected
// packages carry no word-processing, spreadsheet or presentation stream, so
// both are taken for spreadsheets.
constexpr Sample kSamples[] = {
    {"letter.doc", ".DOC"},          {"newsletter.doc", ".DOC"},      {"budget.xls", ".XLS"},
    {"inventory.xls", ".XLS"},       {"overview.ppt", ".PPT"},        {"lecture.ppt", ".PPT"},
    {"protected.docx", ".ENC.XLSX"}, {"protected.xlsx", ".ENC.XLSX"},
};

using CompoundFileSamples = testing::SampleCases<Sample>;

TEST_P(CompoundFileSamples, ComeBackByteForByteUnderTheirStartSectorName) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  const int64_t units = UnitsFor(document.size(), 512);
  Open(ImageWith(document, Shift(), Shift() + units + 9));

  ExpectOnlyRecovered(ScanAll(), NameAt(Shift(), TheSample().extension), document);
}

TEST_P(CompoundFileSamples, StepOverDirectorySectorsLyingInsideThem) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  const int64_t units = UnitsFor(document.size(), 512);
  const int64_t start = Shift();
  const std::vector<std::pair<int64_t, int64_t>> gaps = {
      {start + 3, start + 3}, {start + units / 2, start + units / 2 + 2}};
  Open(ImageFragmentedAroundDirectories(document, start, gaps));

  ExpectOnlyRecovered(ScanAll(), NameAt(Shift(), TheSample().extension), document);
}

INSTANTIATE_TEST_SUITE_P(RealDocuments, CompoundFileSamples,
                         ::testing::Combine(::testing::ValuesIn(kSamples),
                                            ::testing::ValuesIn(kShifts)),
                         testing::SampleCaseName());

// Direct calls of the carver, so the map can be inspected afterwards.
class CompoundFileCarver : public testing::OfficeCarverHarness,
                           public ::testing::WithParamInterface<int64_t> {
 protected:
  int64_t Shift() const { return GetParam(); }

  // Lays the document at the shift, with noise before and after it, and carves it.
  void CarveAlone(const std::vector<uint8_t>& document) {
    Open(ImageWith(document, Shift(), Shift() + UnitsFor(document.size(), 512) + 9));
    CarveCompound(Shift());
  }
};

TEST_P(CompoundFileCarver, KeepsTheUnitsOfASwitchedOffFamilyWithoutWritingOrCounting) {
  const struct {
    const char* file;
    uint32_t switched_off;
  } cases[] = {
      {"letter.doc", kFamilyDoc},
      {"budget.xls", kFamilyXls},
      {"overview.ppt", kFamilyPpt},
      {"protected.xlsx", kFamilyXls},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::vector<uint8_t> document = SampleDocument(c.file);
    Open(ImageWith(document, Shift(), Shift() + UnitsFor(document.size(), 512) + 9));
    env_->family_mask = kAllFamilies & ~c.switched_off;

    CarveCompound(Shift());

    EXPECT_TRUE(Written().empty());
    EXPECT_EQ(state_.recovered_count, 0);
    EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(document.size(), 512)));
  }
}

TEST_P(CompoundFileCarver, NamesTheFamilyFromTheDirectoryEntries) {
  const struct {
    std::vector<std::string> names;
    const char* extension;  // nullptr: nothing written
  } cases[] = {
      {{"WordDocument", "EncryptionInfo", "Version"}, ".ENC.DOCX"},
      {{"EncryptionInfo", "EncryptedPackage", "Version"}, ".ENC.XLSX"},
      {{"PowerPoint Document", "EncryptionInfo", "Version"}, ".PPT"},
      {{"WordDocument", "EncryptionInfo"}, ".DOC"},
      // Some writers leave "Version" out of an encrypted package.
      {{"EncryptionInfo", "EncryptedPackage"}, ".ENC.XLSX"},
      {{"WordDocument", "EncryptedPackage", "EncryptionInfo"}, ".ENC.DOCX"},
      {{"EncryptedPackage"}, nullptr},
      {{"WordDocument", "Workbook"}, ".XLS"},
      {{"Workbook", "WordDocument"}, ".DOC"},
      {{"worddocument"}, nullptr},
      {{"Book"}, ".XLS"},  // how spreadsheets of the 5.0/95 generation name it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names.front() + (c.names.size() > 1 ? ", " + c.names[1] : ""));
    CompoundFileSpec recipe;
    recipe.stream_names = c.names;
    testing::TempDir folder;
    const std::vector<uint8_t> document = MakeCompoundFile(recipe);
    Open(ImageWith(document, Shift(), Shift() + UnitsFor(document.size(), 512) + 9));

    CarveCompoundFile(*env_, folder.Path().string() + "/", Shift() * 512);

    std::vector<std::string> expected;
    if (c.extension != nullptr) expected.push_back(NameAt(Shift(), c.extension));
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
      written.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(written, expected);
    // Recognised as a compound file either way: its units stay taken.
    EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(document.size(), 512)));
  }
}

TEST_P(CompoundFileCarver, ReadsNamesPastAnUnusedDirectoryEntry) {
  CompoundFileSpec recipe;
  recipe.stream_names = {"Data", "WordDocument"};
  CompoundFile file = BuildCompoundFile(recipe);
  // Entry 1 ("Data") loses its name, as an unused slot has none.
  file.bytes[file.DirectoryEntryOffset(1) + 64] = 0;
  file.bytes[file.DirectoryEntryOffset(1) + 65] = 0;

  CarveAlone(file.bytes);

  EXPECT_EQ(Written(), std::vector<std::string>{NameAt(Shift(), ".DOC")});
  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(file.bytes.size(), 512)));
}

// A real workbook stream in files laid out as other spreadsheet programs
// write them: named "Book" (the 5.0/95 generation), or under a root entry
// with an empty name.
TEST_P(CompoundFileCarver, RecoversWorkbooksAsOtherSpreadsheetProgramsWriteThem) {
  const std::vector<uint8_t> workbook = SampleDocument("budget-workbook.biff");
  const struct {
    const char* stream;
    const char* root;
  } cases[] = {{"Book", "Root Entry"}, {"Workbook", ""}, {"Book", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.stream) + " under \"" + c.root + "\"");
    CompoundFileSpec recipe;
    recipe.stream_names = {"\x05SummaryInformation", c.stream};
    recipe.stream_contents = {{}, workbook};
    recipe.root_name = c.root;
    ClearFolder();

    ExpectDocumentAroundOnFat32(MakeCompoundFile(recipe), ".XLS", SampleDocument("scan.jpg"));
  }
}

TEST_P(CompoundFileCarver, EndsTheDocumentAtItsLastAllocatedSector) {
  CompoundFileSpec recipe;
  recipe.stream_names = {"WordDocument"};
  recipe.extra_free_fat_entries = 300;  // free entries after the last used sector
  const CompoundFile file = BuildCompoundFile(recipe);
  ASSERT_EQ(file.bytes.size(), (file.last_used_sector + 2) * 512u);

  CarveAlone(file.bytes);

  EXPECT_EQ(WrittenBytes(NameAt(Shift(), ".DOC")), file.bytes);
  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), file.last_used_sector + 2));
}

TEST_P(CompoundFileCarver, RefusesDocumentsWith4096ByteSectors) {
  CompoundFileSpec recipe;
  recipe.stream_names = {"WordDocument"};
  recipe.sector_shift = 12;

  CarveAlone(MakeCompoundFile(recipe));

  ExpectNoTrace();
}

// Five FAT sectors: the document ends in the third, the last two are all
// free, so those two may come in either order but none may be left out.
CompoundFile FiveFatSectors(bool use_difat) {
  CompoundFileSpec recipe;
  recipe.stream_names = {"WordDocument"};
  recipe.data_sectors = 300;
  recipe.extra_free_fat_entries = 300;
  recipe.use_difat = use_difat;
  CompoundFile file = BuildCompoundFile(recipe);
  if (file.fat_sectors != std::vector<uint32_t>{0, 1, 2, 3, 4} || file.last_used_sector < 256 ||
      file.last_used_sector >= 384) {
    ADD_FAILURE() << "unexpected sample layout";
  }
  return file;
}

void ListHeaderFat(CompoundFile& file, const std::vector<uint32_t>& sectors) {
  for (size_t i = 0; i < CompoundFile::kHeaderFatListEntries; ++i) {
    file.SetU32(CompoundFile::kHeaderFatListOffset + 4 * i,
                i < sectors.size() ? sectors[i] : kFree);
  }
}

TEST_P(CompoundFileCarver, AcceptsHeaderFatSectorsOnlyInIncreasingOrder) {
  const struct {
    std::vector<uint32_t> listed;
    bool recovered;
  } cases[] = {
      {{0, 1, 2, 3, 4}, true},
      {{0, 1, 2, 4, 3}, false},
      {{0, 1, 2, 3, 3, 4}, false},
      {{5, 9, 7}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.listed));
    CompoundFile file = FiveFatSectors(false);
    ListHeaderFat(file, c.listed);
    testing::TempDir folder;
    Open(ImageWith(file.bytes, Shift(), Shift() + UnitsFor(file.bytes.size(), 512) + 9));

    CarveCompoundFile(*env_, folder.Path().string() + "/", Shift() * 512);

    const std::string path = folder / NameAt(Shift(), ".DOC");
    EXPECT_EQ(std::filesystem::exists(path), c.recovered);
    EXPECT_EQ(ClaimedUnits().empty(), !c.recovered);
  }
}

TEST_P(CompoundFileCarver, TakesDifatEntriesInAnyOrderAndSkipsFreeOnes) {
  CompoundFile file = FiveFatSectors(true);
  ASSERT_EQ(file.difat_sectors.size(), 1u);
  const size_t difat = file.SectorOffset(file.difat_sectors[0]);
  const uint32_t listed[] = {0, kFree, 1, 2, kFree, 4, 3};
  for (size_t i = 0; i < std::size(listed); ++i) file.SetU32(difat + 4 * i, listed[i]);

  CarveAlone(file.bytes);

  EXPECT_EQ(WrittenBytes(NameAt(Shift(), ".DOC")), file.bytes);
}

TEST_P(CompoundFileCarver, RefusesAnEndOfChainMarkAmongTheDifatEntries) {
  CompoundFile file = FiveFatSectors(true);
  file.SetU32(file.SectorOffset(file.difat_sectors[0]) + 4, kEndOfChain);

  CarveAlone(file.bytes);

  ExpectNoTrace();
}

// A directory of `sectors` sectors: the root entry, then streams up to the
// last entry, which is the word-processing stream.
std::vector<uint8_t> DocumentWithDirectorySectors(uint32_t sectors) {
  CompoundFileSpec recipe;
  for (uint32_t i = 1; i < sectors * 4 - 1; ++i) {
    recipe.stream_names.push_back("Stream" + std::to_string(i));
    recipe.stream_sizes.push_back(0);
  }
  recipe.stream_names.push_back("WordDocument");
  CompoundFile file = BuildCompoundFile(recipe);
  if (file.directory_sectors.size() != sectors) ADD_FAILURE() << "unexpected sample layout";
  return file.bytes;
}

TEST_P(CompoundFileCarver, ReadsADirectoryOfTwentySectorsToItsLastEntry) {
  const std::vector<uint8_t> document = DocumentWithDirectorySectors(20);

  CarveAlone(document);

  EXPECT_EQ(WrittenBytes(NameAt(Shift(), ".DOC")), document);
  EXPECT_EQ(state_.recovered_count, 1);
}

TEST_P(CompoundFileCarver, RefusesADirectoryOfTwentyOneSectors) {
  CarveAlone(DocumentWithDirectorySectors(21));

  ExpectNoTrace();
}

TEST_P(CompoundFileCarver, RefusesADirectoryChainThatLoops) {
  CompoundFileSpec recipe;
  recipe.stream_names = {"WordDocument"};
  CompoundFile file = BuildCompoundFile(recipe);
  const uint32_t directory = file.directory_sectors.front();
  file.SetU32(file.FatEntryOffset(directory), directory);

  CarveAlone(file.bytes);

  ExpectNoTrace();
}

TEST_P(CompoundFileCarver, RefusesADirectoryBeyondTheDocumentsEnd) {
  CompoundFileSpec recipe;
  recipe.stream_names = {"WordDocument"};
  CompoundFile file = BuildCompoundFile(recipe);
  file.SetU32(CompoundFile::kFirstDirectorySectorOffset, file.last_used_sector + 1);

  CarveAlone(file.bytes);

  ExpectNoTrace();
}

TEST_P(CompoundFileCarver, GivesUpADocumentRunningPastTheEndOfTheRange) {
  const std::vector<uint8_t> document = SampleDocument("letter.doc");
  const int64_t units = UnitsFor(document.size(), 512);
  // The image goes on; only the range stops two units short of the end.
  Open(ImageWith(document, Shift(), Shift() + units + 9));
  SetRangeLast(Shift() + units - 3);

  CarveCompound(Shift());

  ExpectNoTrace();
}

TEST_P(CompoundFileCarver, GivesUpADocumentWithAnUnreadableUnit) {
  // Far enough in that the header and the first read window are served.
  const std::vector<uint8_t> document = SampleDocument("lecture.ppt");
  const int64_t units = UnitsFor(document.size(), 512);
  ASSERT_GT(units, 200);
  // Written or only kept (its family switched off), it is read all the same.
  for (const uint32_t family_mask : {kAllFamilies, kAllFamilies & ~kFamilyPpt}) {
    SCOPED_TRACE(family_mask);
    Open(ImageWith(document, Shift(), Shift() + units + 9));
    env_->family_mask = family_mask;
    unreadable_->insert(Shift() + 200);

    CarveCompound(Shift());

    ExpectNoTrace();
  }
}

TEST_P(CompoundFileCarver, NamesDocumentsIn512ByteStepsWhateverTheUnit) {
  // 27 units of 4096 bytes are 216 steps of 512: "II" in base 26.
  const std::vector<uint8_t> document = SampleDocument("budget.xls");  // 5 units of 4096
  ASSERT_EQ(document.size() % 4096, 0u);
  const int64_t units = UnitsFor(document.size(), 4096);
  Open(ImageWith(document, Shift(), Shift() + units + 3, 4096));

  CarveCompound(Shift());

  const std::string name = Shift() == 0 ? "FILE_AAAAAAAA.XLS" : "FILE_AAAAAAII.XLS";
  ASSERT_EQ(Written(), std::vector<std::string>{name});
  EXPECT_EQ(WrittenBytes(name), document);
  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), units));
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, CompoundFileCarver, ::testing::ValuesIn(kShifts));

// The largest accepted document is 200 MiB; this runs once, being large.
class CompoundFileLengthLimit : public testing::OfficeCarverHarness {};

TEST_F(CompoundFileLengthLimit, Accepts200MiBAndRefusesOneSectorMore) {
  constexpr uint64_t kLimit = 200ull * 1024 * 1024;
  constexpr uint32_t kLastSectorWithin = kLimit / 512 - 2;
  // No named streams: an accepted document keeps its units but writes no
  // 200 MiB file. The table is large enough to reach past the limit.
  CompoundFileSpec recipe;
  recipe.extra_free_fat_entries = kLastSectorWithin + 2;
  CompoundFile file = BuildCompoundFile(recipe);
  auto image = std::make_shared<std::vector<uint8_t>>(kLimit + 8 * 512, 0);
  std::copy(file.bytes.begin(), file.bytes.end(), image->begin());
  const auto mark_end = [&](uint32_t sector, uint32_t value) {
    const size_t at = file.FatEntryOffset(sector);
    for (int i = 0; i < 4; ++i) (*image)[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };

  mark_end(kLastSectorWithin, kEndOfChain);
  Open(image, 512);
  CarveCompound(0);
  EXPECT_EQ(map_->CountClaimed(), kLimit / 512);
  EXPECT_TRUE(map_->IsClaimed(kLimit / 512 - 1));
  EXPECT_TRUE(Written().empty());

  mark_end(kLastSectorWithin, kFree);
  mark_end(kLastSectorWithin + 1, kEndOfChain);
  Open(image, 512);  // a fresh map and read window
  CarveCompound(0);
  ExpectNoTrace();
}

}  // namespace
}  // namespace officecarve
