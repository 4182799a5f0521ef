#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"
#include "scan/identify.h"
#include "scan/open_document_type.h"
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

// Written by the free office suite, whose entries after "mimetype" carry data
// descriptors.
constexpr Sample kSamples[] = {
    {"memo.odt", ".ODT", kFamilyDoc},
    {"figures.ods", ".ODS", kFamilyXls},
    {"workshop.odp", ".ODP", kFamilyPpt},
};

using OpenDocumentSamples = testing::SampleCases<Sample>;

TEST_P(OpenDocumentSamples, AreIdentifiedByTheirMimetype) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  EXPECT_EQ(Identify(std::span(document).first(512)), FileKind::OpenDocument);
}

TEST_P(OpenDocumentSamples, ComeBackByteForByteUnderTheirStartSectorName) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  Open(ImageWith(document, Shift(), Shift() + UnitsFor(document.size(), 512) + 9));
  ExpectOnlyRecovered(ScanAll(), NameAt(Shift(), TheSample().extension), document);
}

TEST_P(OpenDocumentSamples, StepOverDirectorySectorsLyingInsideThem) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  Open(ImageFragmentedAroundDirectories(document, Shift(),
                                        {{Shift() + 3, Shift() + 3}, {Shift() + 9, Shift() + 12}}));
  ExpectOnlyRecovered(ScanAll(), NameAt(Shift(), TheSample().extension), document);
}

TEST_P(OpenDocumentSamples, KeepTheirUnitsButAreNotWrittenWhenTheirFamilyIsOff) {
  const std::vector<uint8_t> document = SampleDocument(TheSample().file);
  const int64_t units = UnitsFor(document.size(), 512);
  Open(ImageWith(document, Shift(), Shift() + units + 9));
  env_->family_mask = kAllFamilies & ~TheSample().family;

  CarveOpenDocumentAt(Shift());

  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(state_.recovered_count, 0);
  EXPECT_EQ(ClaimedUnits(), UnitRange(Shift(), units));
}

INSTANTIATE_TEST_SUITE_P(RealDocuments, OpenDocumentSamples,
                         ::testing::Combine(::testing::ValuesIn(kSamples),
                                            ::testing::ValuesIn(kShifts)),
                         testing::SampleCaseName());

std::vector<uint8_t> PackageWithMimetype(const std::string& mimetype) {
  ZipSpec recipe;
  recipe.entries = {{"mimetype", mimetype}, {"content.xml", "<office:document-content/>"}};
  std::vector<uint8_t> package = MakeZipPackage(recipe);
  package.resize(std::max<size_t>(package.size(), 512));  // a whole sector for Identify
  return package;
}

TEST(OpenDocumentType, TakesTemplatesAndOnlyTheThreeDocumentTypes) {
  const std::string base = "application/vnd.oasis.opendocument.";
  EXPECT_EQ(OpenDocumentTypeOf(PackageWithMimetype(base + "text-template")),
            OpenDocumentType::kText);
  EXPECT_EQ(OpenDocumentTypeOf(PackageWithMimetype(base + "spreadsheet")),
            OpenDocumentType::kSpreadsheet);
  EXPECT_EQ(OpenDocumentTypeOf(PackageWithMimetype(base + "presentation-template")),
            OpenDocumentType::kPresentation);
  for (const std::string& other : {base + "graphics", base + "text-master", base + "tex",
                                   base + "textual", std::string("text/plain")}) {
    SCOPED_TRACE(other);
    EXPECT_EQ(OpenDocumentTypeOf(PackageWithMimetype(other)), OpenDocumentType::kNone);
    const std::vector<uint8_t> package = PackageWithMimetype(other);
    EXPECT_EQ(Identify(std::span(package).first(512)), FileKind::Zip);
  }
}

TEST(OpenDocumentType, NeverReadsPastTheBytesGiven) {
  std::vector<uint8_t> package = PackageWithMimetype("application/vnd.oasis.opendocument.text");
  // A size field pointing far past the sector.
  package[18] = 0xFF;
  package[19] = 0xFF;
  package[20] = 0xFF;
  package[21] = 0xFF;
  EXPECT_EQ(OpenDocumentTypeOf(std::span(package).first(100)), OpenDocumentType::kNone);
  for (size_t length = 0; length < 80; ++length) {
    const std::vector<uint8_t> cut(package.begin(), package.begin() + length);
    EXPECT_EQ(OpenDocumentTypeOf(cut), OpenDocumentType::kNone);
  }
}

}  // namespace
}  // namespace officecarve
