// Every real document, recovered from around a picture that the scan claims,
// comes back byte for byte and is reported intact; a document whose run
// swallowed a foreign cluster nobody claimed is reported damaged.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/carver_harness.h"
#include "verdict/verdict.h"

namespace officecarve {
namespace {

class RecoveredVerdict : public testing::CarverHarness,
                         public ::testing::WithParamInterface<const char*> {};

TEST_P(RecoveredVerdict, IsIntactForADocumentRecoveredAroundAPicture) {
  const std::vector<uint8_t> document = testing::SampleDocument(GetParam());
  const auto interleaved =
      testing::DocumentAroundForeignFile(document, testing::SampleDocument("scan.jpg"), 27, 3);
  Open(interleaved.image);

  const ScanReport report = ScanAll();

  ASSERT_EQ(report.files.size(), 1u);
  EXPECT_EQ(WrittenBytes(report.files[0].name), document);
  EXPECT_EQ(report.files[0].verdict.state, VerdictState::kIntact)
      << report.files[0].verdict.problem;
}

INSTANTIATE_TEST_SUITE_P(EveryRealDocument, RecoveredVerdict,
                         ::testing::Values("letter.doc", "newsletter.doc", "budget.xls",
                                           "inventory.xls", "overview.ppt", "lecture.ppt",
                                           "protected.docx", "protected.xlsx", "minutes.docx",
                                           "schedule.xlsx", "briefing.pptx", "handbook.docx",
                                           "ledger.xlsx", "workshop.pptx", "stock-openpyxl.xlsx",
                                           "memo.odt", "figures.ods", "workshop.odp"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == '.' || c == '-') c = '_';
                           }
                           return name;
                         });

class DamagedRecovery : public testing::CarverHarness {};

TEST_F(DamagedRecovery, IsReportedForADocumentThatSwallowedAForeignCluster) {
  const std::vector<uint8_t> document = testing::SampleDocument("minutes.docx");
  // Another file's cluster (four units) took the place of part of
  // word/styles.xml on the disk: nothing claims it, so the recovered package
  // carries it in place of its own bytes, and its records still lead on.
  std::vector<uint8_t> run = document;
  std::fill(run.begin() + 20 * 512, run.begin() + 24 * 512, 0x5A);
  Open(testing::ImageWith(run, 27, 27 + testing::UnitsFor(run.size(), 512) + 9));

  const ScanReport report = ScanAll();

  ASSERT_EQ(report.files.size(), 1u);
  EXPECT_EQ(report.files[0].verdict.state, VerdictState::kDamaged);
  EXPECT_FALSE(report.files[0].verdict.problem.empty());
}

}  // namespace
}  // namespace officecarve
