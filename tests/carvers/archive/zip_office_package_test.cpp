// Office packages whose producers do not put "[Content_Types].xml" first (and
// write data descriptors) reach the archive carver, which must recover them
// like the document carvers do.
#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"
#include "scan/identify.h"
#include "testimage/doc_samples.h"

namespace officecarve {
namespace {

using testimage::MakeZipPackage;
using testimage::ZipSpec;
using testing::ImageFragmentedAroundDirectories;
using testing::ImageWith;
using testing::kShifts;
using testing::NameAt;
using testing::SampleDocument;
using testing::UnitsFor;

using Sample = testing::DocumentSample;

// The first three from the free office suite (relationships first, a data
// descriptor after every entry), the last from a spreadsheet library that
// writes its document properties first.
constexpr Sample kSamples[] = {
    {"handbook.docx", ".DOCX", kFamilyDoc},
    {"ledger.xlsx", ".XLSX", kFamilyXls},
    {"workshop.pptx", ".PPTX", kFamilyPpt},
    {"stock-openpyxl.xlsx", ".XLSX", kFamilyXls},
};

using OfficePackagesInAnyOrder = testing::SampleCases<Sample>;

TEST_P(OfficePackagesInAnyOrder, ComeBackByteForByteWhole) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  ASSERT_EQ(Identify(std::span(document).first(512)), FileKind::Zip);
  Open(ImageWith(document, Shift(), Shift() + UnitsFor(document.size(), 512) + 9));

  ExpectOnlyRecovered(ScanAll(), NameAt(Shift(), TheSample().extension), document);
}

TEST_P(OfficePackagesInAnyOrder, ComeBackByteForByteAroundDirectories) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  Open(ImageFragmentedAroundDirectories(document, Shift(),
                                        {{Shift() + 2, Shift() + 2}, {Shift() + 7, Shift() + 11}}));

  ExpectOnlyRecovered(ScanAll(), NameAt(Shift(), TheSample().extension), document);
}

TEST_P(OfficePackagesInAnyOrder, ComeBackByteForByteAroundAPicture) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  const auto interleaved =
      testing::DocumentAroundForeignFile(document, SampleDocument("scan.jpg"), Shift(), 5);
  Open(interleaved.image);

  ExpectOnlyRecovered(ScanAll(), NameAt(Shift(), TheSample().extension), document);
}

TEST_P(OfficePackagesInAnyOrder, KeepTheirUnitsButAreNotWrittenWhenTheirFamilyIsOff) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  const int64_t units = UnitsFor(document.size(), 512);
  Open(ImageWith(document, Shift(), Shift() + units + 9));
  env_->family_mask = kAllFamilies & ~TheSample().family;

  Carve(&CarveZip, Shift());

  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(state_.recovered_count, 0);
  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), units));
}

INSTANTIATE_TEST_SUITE_P(RealDocuments, OfficePackagesInAnyOrder,
                         ::testing::Combine(::testing::ValuesIn(kSamples),
                                            ::testing::ValuesIn(kShifts)),
                         testing::SampleCaseName());

class ArchiveCarverOnPackages : public testing::OfficeCarverHarness,
                                public ::testing::WithParamInterface<int64_t> {
 protected:
  int64_t Shift() const { return GetParam(); }
  void CarveAlone(const std::vector<uint8_t>& archive) {
    Open(ImageWith(archive, Shift(), Shift() + UnitsFor(archive.size(), 512) + 9));
    Carve(&CarveZip, Shift());
  }
};

TEST_P(ArchiveCarverOnPackages, WritesNothingForAPlainArchive) {
  const std::vector<uint8_t> archive = SampleDocument("bundle.zip");
  CarveAlone(archive);

  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(archive.size(), 512)));
}

TEST_P(ArchiveCarverOnPackages, NeedsTheContentTypesEntryAsWellAsAFamily) {
  ZipSpec recipe;
  recipe.entries = {{"word/document.xml", "<w:document/>"}, {"notes.txt", "text"}};
  CarveAlone(MakeZipPackage(recipe));

  EXPECT_TRUE(Written().empty());
}

TEST_P(ArchiveCarverOnPackages, BoundsDescriptorsByTheirSizeNotByLookalikesInTheData) {
  // Data holding a descriptor signature, a wrong size and the next record's
  // signature: only the real descriptor's size matches its distance.
  std::string tricky = "<w:document>";
  tricky += std::string("PK\x07\x08", 4) + std::string(4, 'c') +
            std::string("\x05\x00\x00\x00", 4) + std::string(4, 's') +
            std::string("PK\x03\x04", 4) + "</w:document>";
  ZipSpec recipe;
  recipe.entries = {{"_rels/.rels", "<Relationships/>"},
                    {"word/document.xml", tricky},
                    {"[Content_Types].xml", "<Types/>"}};
  for (const bool signatures : {true, false}) {
    SCOPED_TRACE(signatures);
    recipe.data_descriptors = true;
    recipe.descriptor_signatures = signatures;
    const std::vector<uint8_t> package = MakeZipPackage(recipe);
    testing::TempDir folder;
    Open(ImageWith(package, Shift(), Shift() + UnitsFor(package.size(), 512) + 9));

    CarveZip(*env_, folder.Path().string() + "/", Shift() * 512);

    EXPECT_EQ(testimage::ReadFileBytes(folder / NameAt(Shift(), ".DOCX")), package);
    EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), UnitsFor(package.size(), 512)));
  }
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, ArchiveCarverOnPackages, ::testing::ValuesIn(kShifts));

}  // namespace
}  // namespace officecarve
