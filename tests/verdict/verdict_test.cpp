// The verdict on real documents: every sample is intact as written, and the
// damage a carver meets (a sector of foreign data, a cut-off end, random
// corruption) is reported, not passed as intact, and never crashes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/temp_dir.h"
#include "testimage/image_builder.h"
#include "verdict/sample_layout.h"
#include "verdict/verdict.h"

namespace officecarve::testing {
namespace {

constexpr const char* kCompoundSamples[] = {
    "letter.doc",   "newsletter.doc", "budget.xls",     "inventory.xls",
    "overview.ppt", "lecture.ppt",    "protected.docx", "protected.xlsx",
};
constexpr const char* kZipSamples[] = {
    "minutes.docx",  "schedule.xlsx", "briefing.pptx",
    "handbook.docx", "ledger.xlsx",   "workshop.pptx",  // data descriptors
};

std::string SamplePath(const std::string& name) {
  return std::string(OFFICECARVE_TEST_DATA) + "/" + name;
}

std::vector<uint8_t> SampleBytes(const std::string& name) {
  return testimage::ReadFileBytes(SamplePath(name));
}

std::vector<std::string> AllSamples() {
  std::vector<std::string> names(std::begin(kCompoundSamples), std::end(kCompoundSamples));
  names.insert(names.end(), std::begin(kZipSamples), std::end(kZipSamples));
  return names;
}

::testing::AssertionResult IsDamaged(const Verdict& verdict) {
  if (verdict.state == VerdictState::kDamaged && !verdict.problem.empty()) {
    return ::testing::AssertionSuccess() << verdict.problem;
  }
  return ::testing::AssertionFailure()
         << "verdict " << VerdictName(verdict.state) << " (" << verdict.problem << ")";
}

TEST(RecoveredFileVerdict, EverySampleDocumentIsIntact) {
  for (const std::string& name : AllSamples()) {
    const Verdict verdict = CheckRecoveredFile(SamplePath(name));
    EXPECT_EQ(verdict.state, VerdictState::kIntact) << name << ": " << verdict.problem;
    EXPECT_EQ(verdict.problem, "") << name;
  }
}

TEST(RecoveredFileVerdict, FilesThatAreNeitherKindOrMissingAreNotPassed) {
  TempDir dir;
  WriteFile(dir / "note.txt", "PK but not a package");
  EXPECT_TRUE(IsDamaged(CheckRecoveredFile(dir / "note.txt")));
  WriteFile(dir / "empty", "");
  EXPECT_TRUE(IsDamaged(CheckRecoveredFile(dir / "empty")));

  const Verdict missing = CheckRecoveredFile(dir / "gone.doc");
  EXPECT_EQ(missing.state, VerdictState::kUnchecked);
  EXPECT_NE(missing.problem, "");
}

TEST(RecoveredFileVerdict, ANoiseSectorInsideAnEntrysDataNamesTheEntry) {
  for (const char* name : kZipSamples) {
    std::vector<uint8_t> bytes = SampleBytes(name);
    const ZipEntryLayout entry = LargestZipEntry(bytes);
    ASSERT_GT(entry.compressed, 1024u) << name;
    OverwriteWithNoise(bytes, entry.data_offset + (entry.compressed - 512) / 2, 512, 7);

    const Verdict verdict = CheckDocumentBytes(bytes);
    ASSERT_TRUE(IsDamaged(verdict)) << name;
    EXPECT_EQ(verdict.problem.rfind("entry " + entry.name + ": ", 0), 0u)
        << name << ": " << verdict.problem;
  }
}

TEST(RecoveredFileVerdict, AFlippedBitThatLeavesTheDeflateStreamValidIsACrcMismatch) {
  std::vector<uint8_t> bytes = SampleBytes("handbook.docx");
  // The JPEG picture is deflated but barely shrinks; one bit inside it
  // leaves a valid stream with other content.
  for (const ZipEntryLayout& entry : ZipEntries(bytes)) {
    if (entry.name != "word/media/image1.jpeg") continue;
    bytes[entry.data_offset + entry.compressed / 2] ^= 0x10;
  }
  const Verdict verdict = CheckDocumentBytes(bytes);
  EXPECT_EQ(verdict.state, VerdictState::kDamaged);
  EXPECT_EQ(verdict.problem, "entry word/media/image1.jpeg: CRC mismatch");
}

TEST(RecoveredFileVerdict, ANoiseSectorOverTheAllocationTableOrDirectoryIsDamage) {
  for (const char* name : kCompoundSamples) {
    const std::vector<uint8_t> original = SampleBytes(name);
    const uint32_t fat_sector = SampleU32(original, 76);
    const uint32_t directory_sector = SampleU32(original, 48);
    for (const uint32_t sector : {fat_sector, directory_sector}) {
      for (uint32_t seed = 1; seed <= 5; ++seed) {
        std::vector<uint8_t> bytes = original;
        OverwriteWithNoise(bytes, (size_t{sector} + 1) * 512, 512, seed);
        EXPECT_TRUE(IsDamaged(CheckDocumentBytes(bytes))) << name << " sector " << sector;
      }
    }
  }
}

TEST(RecoveredFileVerdict, EveryCutOffEndIsDamage) {
  for (const std::string& name : AllSamples()) {
    const std::vector<uint8_t> original = SampleBytes(name);
    for (size_t cut = 1; cut < original.size(); cut += 509) {
      const std::vector<uint8_t> bytes(original.begin(), original.end() - cut);
      EXPECT_TRUE(IsDamaged(CheckDocumentBytes(bytes))) << name << " less " << cut;
    }
    // A last sector cut short is damage too.
    const std::vector<uint8_t> one_byte_short(original.begin(), original.end() - 1);
    EXPECT_TRUE(IsDamaged(CheckDocumentBytes(one_byte_short))) << name;
  }
}

// Random fields set to hostile values: the verdict must come back, and must
// not call a file intact unless its structure allows it. Run under the
// sanitizers this is the memory-safety test of every path.
TEST(RecoveredFileVerdict, SurvivesHostileFieldsAnywhere) {
  constexpr uint32_t kHostile[] = {0,          1,          0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                   0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFA, 0x0000FFFF, 0x00010000};
  std::mt19937 random(2024);
  for (const std::string& name : AllSamples()) {
    const std::vector<uint8_t> original = SampleBytes(name);
    for (int round = 0; round < 150; ++round) {
      std::vector<uint8_t> bytes = original;
      const int fields = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < fields; ++i) {
        // The first and last 2 KiB hold the headers and directories of
        // both kinds; they get most of the hits.
        const size_t area = std::min<size_t>(bytes.size(), 2048) - 3;
        const size_t at = random() % 3 == 0   ? random() % (bytes.size() - 3)
                          : random() % 2 == 0 ? random() % area
                                              : bytes.size() - 4 - random() % area;
        if (round % 2 == 0) {
          PutSampleU32(bytes, at, kHostile[random() % std::size(kHostile)]);
        } else {
          bytes[at] = static_cast<uint8_t>(random());
        }
      }
      const Verdict verdict = CheckDocumentBytes(bytes);
      EXPECT_NE(verdict.state, VerdictState::kUnchecked) << name;
    }
  }
}

}  // namespace
}  // namespace officecarve::testing
