// End-to-end runs of `officecarve recover` on images built by the test-image
// builder: what a user of the command line sees.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "platform/temp_dir.h"
#include "support/run_process.h"
#include "testimage/image_builder.h"

namespace officecarve::testing {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kEnglish = {"LC_ALL=C", "LANG=C"};

std::vector<uint8_t> Sample(const std::string& name) {
  return testimage::ReadFileBytes(std::string(OFFICECARVE_TEST_DATA) + "/" + name);
}

// An image with a .doc at sector 100 and a .docx at sector 400.
std::string BuildImage(const TempDir& dir) {
  testimage::ImageBuilder image(4096);
  image.FillNoise(1, 4095, 11);
  image.Place(100, Sample("letter.doc"));
  image.Place(400, Sample("minutes.docx"));
  const std::string path = dir / "disk.img";
  image.WriteTo(path);
  return path;
}

ProcessResult Recover(std::vector<std::string> extra, const ProcessOptions& options = {}) {
  std::vector<std::string> argv = {CliBinary(), "recover"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  ProcessOptions with_locale = options;
  with_locale.environment.insert(with_locale.environment.end(), kEnglish.begin(), kEnglish.end());
  return RunProcess(argv, with_locale);
}

TEST(RecoverCommand, RecoversDocumentsWithoutTouchingTheSource) {
  TempDir dir;
  const std::string image = BuildImage(dir);
  const std::vector<uint8_t> before = testimage::ReadFileBytes(image);
  const auto modified_before = fs::last_write_time(image);

  const ProcessResult run = Recover({image, "-o", dir / "out", "--json", dir / "report.json"});

  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(testimage::ReadFileBytes(image), before);
  EXPECT_EQ(fs::last_write_time(image), modified_before);
  EXPECT_EQ(testimage::ReadFileBytes(dir / "out/FILE_AAAAAADW.DOC"), Sample("letter.doc"));
  EXPECT_EQ(testimage::ReadFileBytes(dir / "out/FILE_AAAAAAPK.DOCX"), Sample("minutes.docx"));
  EXPECT_NE(run.out.find("FILE_AAAAAADW.DOC  21504 bytes  sector 100"), std::string::npos);
  EXPECT_NE(run.err.find("Rescued file 2"), std::string::npos);

  const auto report = nlohmann::json::parse(testimage::ReadFileBytes(dir / "report.json"));
  EXPECT_EQ(report["sectors_identified"], 4096);  // every sector was read and identified
  EXPECT_EQ(report["range"]["last"], 4095);
  EXPECT_EQ(report["candidates"]["compound-file"], 1);
  EXPECT_EQ(report["recovered_count"], 2);
  ASSERT_EQ(report["files"].size(), 2u);
  EXPECT_EQ(report["files"][1]["family"], "doc");
  EXPECT_EQ(report["files"][1]["start_sector"], 100);
}

TEST(RecoverCommand, QuietRunsPrintNoFileLinesAndTypesSelectFamilies) {
  TempDir dir;
  const std::string image = BuildImage(dir);
  const ProcessResult run = Recover({image, "-o", dir / "out", "--types", "xls,ppt", "--quiet"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(fs::exists(dir / "out/FILE_AAAAAADW.DOC"));
  EXPECT_NE(run.err.find("Rescued file 0"), std::string::npos);
}

TEST(RecoverCommand, ReportsAnUnopenableSourceWithTheSystemsReason) {
  TempDir dir;
  const ProcessResult run = Recover({dir / "no-such.img", "-o", dir / "out"});
  EXPECT_NE(run.exit_code, 0);
  EXPECT_NE(run.err.find("Failed to open file!"), std::string::npos);
  EXPECT_NE(run.err.find("\nNo such file or directory"), std::string::npos) << run.err;
}

TEST(RecoverCommand, RefusesABadRangeAndBadOptions) {
  TempDir dir;
  const std::string image = BuildImage(dir);
  const ProcessResult range = Recover({image, "-o", dir / "out", "--last", "5000"});
  EXPECT_NE(range.exit_code, 0);
  EXPECT_NE(range.err.find("invalid sector range!"), std::string::npos);
  const ProcessResult types = Recover({image, "-o", dir / "out", "--types", "pdf"});
  EXPECT_EQ(types.exit_code, 2);
}

TEST(RecoverCommand, AFailedSaveWithoutATerminalAbortsOrIgnoresAsAsked) {
  TempDir dir;
  const std::string image = BuildImage(dir);
  // A directory in the way of the .docx (the higher one, carved first).
  fs::create_directories(dir / "out/FILE_AAAAAAPK.DOCX");

  const ProcessResult aborted = Recover({image, "-o", dir / "out"});
  EXPECT_EQ(aborted.exit_code, 3);
  EXPECT_NE(aborted.err.find("Failed save file: " + (dir / "out/FILE_AAAAAAPK.DOCX")),
            std::string::npos)
      << aborted.err;
  EXPECT_FALSE(fs::exists(dir / "out/FILE_AAAAAADW.DOC"));  // stopped before the next one
  EXPECT_NE(aborted.err.find("Rescued file 1"), std::string::npos);

  const ProcessResult ignored = Recover({image, "-o", dir / "out", "--on-save-error", "ignore"});
  EXPECT_EQ(ignored.exit_code, 0);
  EXPECT_TRUE(fs::exists(dir / "out/FILE_AAAAAADW.DOC"));
}

TEST(RecoverCommand, CtrlCCancelsTheSearchAndStillEndsWithTheCount) {
  TempDir dir;
  // A large sparse image: zeros cost no disk, and the search takes seconds.
  const std::string image = dir / "big.img";
  {
    testimage::ImageBuilder head(1024);
    head.Place(100, Sample("letter.doc"));
    head.WriteTo(image);
    fs::resize_file(image, 16ull << 30);
  }
  ProcessOptions options;
  options.interrupt_after = std::chrono::milliseconds(800);
  const ProcessResult run =
      Recover({image, "-o", dir / "out", "--json", dir / "report.json"}, options);

  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.err.find("Rescued file 1"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "out/FILE_AAAAAADW.DOC"));
  const auto report = nlohmann::json::parse(testimage::ReadFileBytes(dir / "report.json"));
  EXPECT_TRUE(report["search_cancelled"].get<bool>());
  EXPECT_LT(report["sectors_identified"].get<int64_t>(), (16ll << 30) / 512);
}

// Run through sudo by a user: the folder it makes, the documents and both
// reports are the user's to open and delete.
TEST(RecoverCommand, RunThroughSudoHandsWhatItMakesToTheUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, as under sudo";
  const passwd* nobody = getpwuid(65534);
  if (nobody == nullptr) GTEST_SKIP() << "no user 65534 on this system";
  const uid_t uid = nobody->pw_uid;
  TempDir dir;
  const std::string image = BuildImage(dir);
  ProcessOptions options;
  options.environment = {"SUDO_UID=65534", "SUDO_GID=" + std::to_string(nobody->pw_gid),
                         "PKEXEC_UID="};
  const ProcessResult run =
      Recover({image, "-o", dir / "made/out", "--report", "--json", dir / "report.json"}, options);
  ASSERT_EQ(run.exit_code, 0) << run.err;

  for (const std::string& made :
       {dir / "made", dir / "made/out", dir / "made/out/FILE_AAAAAADW.DOC",
        dir / "made/out/FILE_AAAAAAPK.DOCX", dir / "made/out/officecarve-report.json",
        dir / "report.json"}) {
    struct stat info {};
    ASSERT_EQ(stat(made.c_str(), &info), 0) << made;
    EXPECT_EQ(info.st_uid, uid) << made;
    EXPECT_EQ(info.st_gid, nobody->pw_gid) << made;
  }
  struct stat scratch {};
  ASSERT_EQ(stat(dir.Path().c_str(), &scratch), 0);
  EXPECT_EQ(scratch.st_uid, 0u);
}

}  // namespace
}  // namespace officecarve::testing
