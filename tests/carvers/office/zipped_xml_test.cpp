#include <algorithm>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"
#include "testimage/doc_samples.h"

namespace officecarve {
namespace {

using testimage::BuildZipPackage;
using testimage::ImageBuilder;
using testimage::MakeZipPackage;
using testimage::ZipPackage;
using testimage::ZipSpec;
using testing::ImageFragmentedAroundDirectories;
using testing::ImageWith;
using testing::kShifts;
using testing::NameAt;
using testing::SampleDocument;
using testing::UnitsFor;

using Sample = testing::DocumentSample;

constexpr Sample kSamples[] = {
    {"minutes.docx", ".DOCX", kFamilyDoc},
    {"schedule.xlsx", ".XLSX", kFamilyXls},
    {"briefing.pptx", ".PPTX", kFamilyPpt},
};

using ZippedXmlSamples = testing::SampleCases<Sample>;

// minutes.docx lists the relationship and document-properties parts before
// its first word/ entry, so it also shows that the family is not taken from
// the first name alone.
TEST_P(ZippedXmlSamples, ComeBackByteForByteUnderTheirStartSectorName) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  const int64_t units = UnitsFor(document.size(), 512);
  Open(ImageWith(document, Shift(), Shift() + units + 9));

  ExpectOnlyRecovered(ScanAll(), NameAt(Shift(), TheSample().extension), document);
}

TEST_P(ZippedXmlSamples, StepOverDirectorySectorsLyingInsideThem) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  const int64_t units = UnitsFor(document.size(), 512);
  const int64_t start = Shift();
  const std::vector<std::pair<int64_t, int64_t>> gaps = {
      {start + 2, start + 2}, {start + units / 2, start + units / 2 + 2}};
  Open(ImageFragmentedAroundDirectories(document, start, gaps));

  ExpectOnlyRecovered(ScanAll(), NameAt(Shift(), TheSample().extension), document);
}

TEST_P(ZippedXmlSamples, KeepTheirUnitsWhenTheirFamilyIsSwitchedOff) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  Open(ImageWith(document, Shift(), Shift() + UnitsFor(document.size(), 512) + 9));
  env_->family_mask = kAllFamilies & ~TheSample().family;

  CarveZipped(Shift());

  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(state_.recovered_count, 0);
  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(document.size(), 512)));
}

INSTANTIATE_TEST_SUITE_P(RealDocuments, ZippedXmlSamples,
                         ::testing::Combine(::testing::ValuesIn(kSamples),
                                            ::testing::ValuesIn(kShifts)),
                         testing::SampleCaseName());

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t{bytes[at + 3]} << 24);
}

class ZippedXmlCarver : public testing::OfficeCarverHarness,
                        public ::testing::WithParamInterface<int64_t> {
 protected:
  int64_t Shift() const { return GetParam(); }

  // Lays the package at the shift, with noise before and after it, and carves it.
  void CarveAlone(const std::vector<uint8_t>& package) {
    Open(ImageWith(package, Shift(), Shift() + UnitsFor(package.size(), 512) + 9));
    CarveZipped(Shift());
  }
};

// A small word-processing package as the usual producers lay it out.
ZipSpec WordPackage() {
  ZipSpec recipe;
  recipe.entries = {{"[Content_Types].xml", "<Types/>"},
                    {"_rels/.rels", "<Relationships/>"},
                    {"word/document.xml", "<w:document/>"}};
  return recipe;
}

TEST_P(ZippedXmlCarver, SavesTheArchiveCommentAndNothingAfterIt) {
  ZipSpec recipe = WordPackage();
  recipe.comment = "minutes of the spring meeting";
  const std::vector<uint8_t> package = MakeZipPackage(recipe);
  ASSERT_NE(package.size() % 512, 0u);  // noise follows in the last unit

  CarveAlone(package);

  EXPECT_EQ(WrittenBytes(NameAt(Shift(), ".DOCX")), package);
  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(package.size(), 512)));
}

TEST_P(ZippedXmlCarver, TakesTheFamilyFromTheFirstKnownPrefixIgnoringCase) {
  const struct {
    std::vector<std::string> names;  // after [Content_Types].xml
    const char* extension;           // nullptr: nothing written
  } cases[] = {
      {{"Word/document.xml"}, ".DOCX"},
      {{"docProps/core.xml", "XL/workbook.xml"}, ".XLSX"},
      {{"_rels/.rels", "ppt/presentation.xml", "word/document.xml"}, ".PPTX"},
      {{"words/document.xml", "customXml/item1.xml"}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names.front());
    ZipSpec recipe;
    recipe.entries.emplace_back("[Content_Types].xml", "<Types/>");
    for (const std::string& name : c.names) recipe.entries.emplace_back(name, "<x/>");
    const std::vector<uint8_t> package = MakeZipPackage(recipe);
    testing::TempDir folder;
    Open(ImageWith(package, Shift(), Shift() + UnitsFor(package.size(), 512) + 9));

    CarveZippedXml(*env_, folder.Path().string() + "/", Shift() * 512);

    std::vector<std::string> expected;
    if (c.extension != nullptr) expected.push_back(NameAt(Shift(), c.extension));
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
      written.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(written, expected);
    // Recognised as a package either way: its units stay taken.
    EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(package.size(), 512)));
  }
}

TEST_P(ZippedXmlCarver, FollowsEntriesToTheirDataDescriptorsWithOrWithoutSignature) {
  for (const bool signatures : {true, false}) {
    SCOPED_TRACE(signatures);
    ZipSpec recipe = WordPackage();
    recipe.data_descriptors = true;
    recipe.descriptor_signatures = signatures;
    const std::vector<uint8_t> package = MakeZipPackage(recipe);
    testing::TempDir folder;
    Open(ImageWith(package, Shift(), Shift() + UnitsFor(package.size(), 512) + 9));

    CarveZippedXml(*env_, folder.Path().string() + "/", Shift() * 512);

    EXPECT_EQ(testimage::ReadFileBytes(folder / NameAt(Shift(), ".DOCX")), package);
    EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(package.size(), 512)));
  }
}

TEST_P(ZippedXmlCarver, IsNotFooledByDescriptorLookalikesInsideTheData) {
  // Entry data that holds what looks like a descriptor followed by the next
  // record's signature, with a size that does not match its distance.
  std::string tricky = "<w:document>";
  tricky += std::string("PK\x07\x08", 4) + std::string(4, 'c') +
            std::string("\x05\x00\x00\x00", 4) + std::string(4, 's') + std::string("PK\x01\x02", 4);
  tricky += std::string(12, 'x') + std::string("PK\x03\x04", 4) + "</w:document>";
  ZipSpec recipe = WordPackage();
  recipe.entries.back().second = tricky;
  recipe.data_descriptors = true;
  const std::vector<uint8_t> package = MakeZipPackage(recipe);

  CarveAlone(package);

  EXPECT_EQ(WrittenBytes(NameAt(Shift(), ".DOCX")), package);
  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(package.size(), 512)));
}

TEST_P(ZippedXmlCarver, GivesUpAnEntryWhoseDescriptorIsNeverFound) {
  ZipPackage zip = BuildZipPackage([] {
    ZipSpec recipe = WordPackage();
    recipe.data_descriptors = true;
    return recipe;
  }());
  // The second entry's descriptor loses its size: nothing ends that entry.
  const size_t descriptor = zip.local_header_offsets[2] - 8;
  zip.bytes[descriptor] ^= 0x40;

  CarveAlone(zip.bytes);

  ExpectNoTrace();
}

TEST_P(ZippedXmlCarver, GivesUpAtARecordOfAnUnknownKind) {
  // A data descriptor, a ZIP64 end record, an archive extra-data record, garbage.
  for (const uint32_t signature : {0x08074B50u, 0x06064B50u, 0x08064B50u, 0x41414141u}) {
    SCOPED_TRACE(signature);
    ZipPackage zip = BuildZipPackage(WordPackage());
    const size_t at = zip.local_header_offsets[1];
    for (int i = 0; i < 4; ++i) zip.bytes[at + i] = static_cast<uint8_t>(signature >> (8 * i));

    CarveAlone(zip.bytes);

    ExpectNoTrace();
  }
}

TEST_P(ZippedXmlCarver, DoesNotRecoverAPackageWhoseCentralDirectoryIsGone) {
  std::vector<uint8_t> document = SampleDocument("minutes.docx");
  // The end record says where the central directory starts; noise replaces
  // everything from there on.
  const size_t end_record = document.size() - 22;
  const size_t central_directory = Le32(document, end_record + 16);
  ASSERT_LT(central_directory, end_record);
  document.resize(central_directory);

  CarveAlone(document);

  ExpectNoTrace();
}

TEST_P(ZippedXmlCarver, GivesUpAPackageRunningPastTheEndOfTheRange) {
  const std::vector<uint8_t> document = SampleDocument("minutes.docx");
  const int64_t units = UnitsFor(document.size(), 512);
  // The image goes on; only the range stops one unit short of the end.
  Open(ImageWith(document, Shift(), Shift() + units + 9));
  SetRangeLast(Shift() + units - 2);

  CarveZipped(Shift());

  ExpectNoTrace();
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, ZippedXmlCarver, ::testing::ValuesIn(kShifts));

// The largest accepted record is 200 MiB; this runs once, being large.
class ZippedXmlLengthLimit : public testing::OfficeCarverHarness {};

TEST_F(ZippedXmlLengthLimit, AcceptsA200MiBRecordAndRefusesOneByteMore) {
  constexpr uint64_t kLimit = 200ull * 1024 * 1024;
  const ZipPackage zip = BuildZipPackage(WordPackage());
  const size_t first_header = zip.local_header_offsets[0];
  const size_t rest = zip.local_header_offsets[1];
  const size_t fixed = rest - first_header - Le32(zip.bytes, first_header + 18);
  auto image = std::make_shared<std::vector<uint8_t>>(kLimit + 8 * 512, 0);
  // The first entry's data grows until its record is `record` bytes long;
  // the package's other records follow it.
  const auto lay_out = [&](uint64_t record) {
    std::fill(image->begin(), image->end(), 0);
    std::copy(zip.bytes.begin(), zip.bytes.begin() + rest, image->begin());
    const uint64_t data = record - fixed;
    for (int i = 0; i < 4; ++i) {
      (*image)[first_header + 18 + i] = static_cast<uint8_t>(data >> (8 * i));
    }
    std::copy(zip.bytes.begin() + rest, zip.bytes.end(), image->begin() + record);
  };

  // Switched off, so an accepted package keeps its units but writes nothing.
  lay_out(kLimit);
  Open(image, 512);
  env_->family_mask = kAllFamilies & ~kFamilyDoc;
  CarveZipped(0);
  EXPECT_EQ(map_->CountClaimed(), UnitsFor(kLimit + zip.bytes.size() - rest, 512));
  EXPECT_TRUE(Written().empty());

  lay_out(kLimit + 1);
  Open(image, 512);
  CarveZipped(0);
  ExpectNoTrace();
}

}  // namespace
}  // namespace officecarve
