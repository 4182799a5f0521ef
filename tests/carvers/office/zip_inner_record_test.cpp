// About one entry in 512 of a ZIP-based file starts exactly at a sector, so
// the search also finds a ZIP header inside it. That inner header is carved
// first (the recovery goes from the last candidate to the first) and must
// claim nothing, so the real start carves the whole file.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"
#include "testimage/doc_samples.h"
#include "verdict/verdict.h"

namespace officecarve {
namespace {

using testimage::AlignZipEntry;
using testimage::ZipLocalHeaderOffsets;
using testing::DocumentAroundForeignFile;
using testing::ImageWith;
using testing::kShifts;
using testing::NameAt;
using testing::SampleDocument;
using testing::UnitsFor;

using Sample = testing::DocumentSample;

// Every producer's layout: sizes in the local headers or in descriptors,
// "[Content_Types].xml" first or last, OpenDocument's stored "mimetype" first.
constexpr Sample kSamples[] = {
    {"minutes.docx", ".DOCX"},  {"handbook.docx", ".DOCX"}, {"schedule.xlsx", ".XLSX"},
    {"workshop.pptx", ".PPTX"}, {"memo.odt", ".ODT"},       {"figures.ods", ".ODS"},
};

using DocumentsWithAnEntryAtASector = testing::SampleCases<Sample>;

// Each entry in turn is moved to a sector start.
TEST_P(DocumentsWithAnEntryAtASector, ComeBackWholeAloneAndAroundAPicture) {
  const std::vector<uint8_t> original = SampleDocument(TheSample().file);
  const std::vector<uint8_t> picture = SampleDocument("plain.png");
  const size_t entries = ZipLocalHeaderOffsets(original).size();
  for (size_t entry = 1; entry < entries; ++entry) {
    SCOPED_TRACE("entry " + std::to_string(entry));
    const std::vector<uint8_t> document = AlignZipEntry(original, entry, 512);
    const std::string name = NameAt(Shift(), TheSample().extension);

    ClearFolder();
    Open(ImageWith(document, Shift(), Shift() + UnitsFor(document.size(), 512) + 9));
    const ScanReport alone = ScanAll();
    ExpectOnlyRecovered(alone, name, document);
    ASSERT_EQ(alone.files.size(), 1u);
    EXPECT_EQ(alone.files[0].verdict.state, VerdictState::kIntact)
        << alone.files[0].verdict.problem;

    ClearFolder();
    const int64_t first_units = UnitsFor(ZipLocalHeaderOffsets(document)[entry], 512) / 2 + 1;
    Open(DocumentAroundForeignFile(document, picture, Shift(), first_units).image);
    ExpectOnlyRecovered(ScanAll(), name, document);
  }
}

INSTANTIATE_TEST_SUITE_P(RealDocuments, DocumentsWithAnEntryAtASector,
                         ::testing::Combine(::testing::ValuesIn(kSamples),
                                            ::testing::ValuesIn(kShifts)),
                         testing::SampleCaseName());

class ArchiveWithAnEntryAtASector : public testing::OfficeCarverHarness,
                                    public ::testing::WithParamInterface<int64_t> {};

// A plain archive is only claimed: a document around it comes back whole only
// when the archive is claimed from its real start to its end.
TEST_P(ArchiveWithAnEntryAtASector, IsClaimedWholeFromItsRealStart) {
  const std::vector<uint8_t> original = SampleDocument("bundle.zip");
  const std::vector<uint8_t> document = SampleDocument("letter.doc");
  for (size_t entry = 1; entry < ZipLocalHeaderOffsets(original).size(); ++entry) {
    SCOPED_TRACE("entry " + std::to_string(entry));
    const std::vector<uint8_t> archive = AlignZipEntry(original, entry, 512);

    ClearFolder();
    Open(DocumentAroundForeignFile(document, archive, GetParam(), 5).image);
    ExpectOnlyRecovered(ScanAll(), NameAt(GetParam(), ".DOC"), document);

    Open(ImageWith(archive, GetParam(), GetParam() + UnitsFor(archive.size(), 512) + 9));
    Carve(&CarveZip, GetParam() + UnitsFor(ZipLocalHeaderOffsets(archive)[entry], 512));
    EXPECT_TRUE(ClaimedUnits().empty()) << "the inner record claimed units";
  }
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, ArchiveWithAnEntryAtASector,
                         ::testing::ValuesIn(kShifts));

}  // namespace
}  // namespace officecarve
