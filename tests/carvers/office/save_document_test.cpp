#include "carvers/office/save_document.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"
#include "platform/file_size_limit.h"

namespace officecarve {
namespace {

using testing::SampleDocument;
using testing::UnitsFor;

// Two documents: the scan reaches the letter (higher on the disk) first,
// then the spreadsheet.
constexpr int64_t kBudgetSector = 3;
constexpr int64_t kLetterSector = 53;
constexpr const char* kBudgetName = "FILE_AAAAAAAD.XLS";
constexpr const char* kLetterName = "FILE_AAAAAACB.DOC";

class SaveRecoveredDocument : public testing::OfficeCarverHarness {
 protected:
  void SetUp() override {
    letter_ = SampleDocument("letter.doc");
    budget_ = SampleDocument("budget.xls");
    ASSERT_LT(kBudgetSector + UnitsFor(budget_.size(), 512), kLetterSector);
    testimage::ImageBuilder image(static_cast<uint64_t>(kLetterSector + 60));
    image.FillNoise(0, kLetterSector + 59, 3);
    image.Place(kBudgetSector, budget_);
    image.Place(kLetterSector, letter_);
    Open(image);
  }

  std::string LetterPath() const { return folder_ / kLetterName; }

  // What stands in the way of the letter: a folder where its file should go.
  void BlockTheLetter() { std::filesystem::create_directory(LetterPath()); }

  std::vector<Message> SaveFailures() const {
    std::vector<Message> failures;
    for (const Message& message : frontend_.messages) {
      if (message.buttons == MessageButtons::kAbortRetryIgnore) failures.push_back(message);
    }
    return failures;
  }

  void ExpectOneSaveFailureForTheLetter() const {
    const std::vector<Message> failures = SaveFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].caption, "错误");
    EXPECT_EQ(failures[0].text, "保存文件失败: " + LetterPath());
  }

  void ExpectFinalCount(int count) const {
    ASSERT_FALSE(frontend_.messages.empty());
    EXPECT_EQ(frontend_.messages.back().text, "成功恢复文件 " + std::to_string(count));
  }

  std::vector<uint8_t> letter_;
  std::vector<uint8_t> budget_;
};

TEST_F(SaveRecoveredDocument, AbortStopsTheScanBeforeTheNextDocument) {
  BlockTheLetter();
  frontend_.answers = {MessageAnswer::kAbort};

  const ScanReport report = ScanAll();

  ExpectOneSaveFailureForTheLetter();
  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(state_.run_state, RunState::kStopped);
  // The letter was decided on, so it counts; the spreadsheet was never reached.
  EXPECT_EQ(report.recovered_count, 1);
  ExpectFinalCount(1);
  EXPECT_EQ(Written(), std::vector<std::string>{kLetterName});
  EXPECT_TRUE(std::filesystem::is_directory(LetterPath()));
  ASSERT_EQ(frontend_.files.size(), 1u);
  EXPECT_FALSE(frontend_.files[0].saved);
}

TEST_F(SaveRecoveredDocument, RetrySavesOnceTheCauseIsGone) {
  BlockTheLetter();
  frontend_.on_message = [&](const Message& message) {
    if (message.buttons == MessageButtons::kAbortRetryIgnore) {
      std::filesystem::remove(LetterPath());
    }
  };
  frontend_.answers = {MessageAnswer::kRetry};

  const ScanReport report = ScanAll();

  ExpectOneSaveFailureForTheLetter();
  EXPECT_FALSE(report.stopped);
  EXPECT_EQ(report.recovered_count, 2);
  ExpectFinalCount(2);
  EXPECT_EQ(WrittenBytes(kLetterName), letter_);
  EXPECT_EQ(WrittenBytes(kBudgetName), budget_);
}

TEST_F(SaveRecoveredDocument, IgnoreGoesOnToTheNextDocument) {
  BlockTheLetter();
  frontend_.answers = {MessageAnswer::kIgnore};

  const ScanReport report = ScanAll();

  ExpectOneSaveFailureForTheLetter();
  EXPECT_FALSE(report.stopped);
  EXPECT_EQ(report.recovered_count, 2);
  ExpectFinalCount(2);
  EXPECT_TRUE(std::filesystem::is_directory(LetterPath()));
  EXPECT_EQ(WrittenBytes(kBudgetName), budget_);
  ASSERT_EQ(report.files.size(), 2u);
  EXPECT_FALSE(report.files[0].saved);
  EXPECT_TRUE(report.files[1].saved);
  EXPECT_EQ(report.files[0].verdict.state, VerdictState::kUnchecked);
  EXPECT_EQ(report.files[0].verdict.problem, "the file was not written");
  EXPECT_EQ(report.files[1].verdict.state, VerdictState::kIntact);
}

TEST_F(SaveRecoveredDocument, EachWrittenDocumentCarriesTheVerdictOfItsFile) {
  // The first chain link of the letter's FAT is made to point at itself: the
  // carver, which reads the FAT only for the length, still writes the letter.
  std::vector<uint8_t> looping = letter_;
  const size_t fat = (static_cast<size_t>(looping[76] | (looping[77] << 8)) + 1) * 512;
  uint32_t link = 0;
  while (link < 127 && (looping[fat + 4 * link] != link + 1 || looping[fat + 4 * link + 1] != 0)) {
    ++link;
  }
  ASSERT_LT(link, 127u);
  looping[fat + 4 * link] = static_cast<uint8_t>(link);
  testimage::ImageBuilder image(static_cast<uint64_t>(kLetterSector + 60));
  image.FillNoise(0, kLetterSector + 59, 3);
  image.Place(kBudgetSector, budget_);
  image.Place(kLetterSector, looping);
  Open(image);

  const ScanReport report = ScanAll();

  ASSERT_EQ(report.files.size(), 2u);
  EXPECT_EQ(report.files[0].name, kLetterName);
  EXPECT_EQ(report.files[0].verdict.state, VerdictState::kDamaged);
  EXPECT_NE(
      report.files[0].verdict.problem.find(": chain loops back to sector " + std::to_string(link)),
      std::string::npos)
      << report.files[0].verdict.problem;
  EXPECT_EQ(report.files[1].verdict.state, VerdictState::kIntact);
  ASSERT_EQ(frontend_.files.size(), 2u);
  EXPECT_EQ(frontend_.files[0].verdict.problem, report.files[0].verdict.problem);
}

TEST_F(SaveRecoveredDocument, AFullDestinationLeavesNoPartialDocument) {
  // Both documents are larger than what the destination takes.
  testing::FileSizeLimit limit(8192);
  if (!limit.Active()) GTEST_SKIP() << "cannot limit the file size here";
  frontend_.answers = {MessageAnswer::kIgnore, MessageAnswer::kIgnore};

  const ScanReport report = ScanAll();

  EXPECT_EQ(SaveFailures().size(), 2u);
  EXPECT_EQ(report.recovered_count, 2);
  EXPECT_TRUE(Written().empty());
}

TEST_F(SaveRecoveredDocument, RetryAfterFreeingSpaceWritesTheWholeDocument) {
  std::optional<testing::FileSizeLimit> limit;
  limit.emplace(8192);
  if (!limit->Active()) GTEST_SKIP() << "cannot limit the file size here";
  frontend_.on_message = [&](const Message&) { limit.reset(); };
  frontend_.answers = {MessageAnswer::kRetry};

  const ScanReport report = ScanAll();

  ExpectOneSaveFailureForTheLetter();
  EXPECT_EQ(WrittenBytes(kLetterName), letter_);
  EXPECT_EQ(WrittenBytes(kBudgetName), budget_);
}

}  // namespace
}  // namespace officecarve
