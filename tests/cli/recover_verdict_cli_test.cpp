// `officecarve recover` tells for every written document whether its own
// structure checks out, on the listing and in the JSON report, and
// `--report` leaves that report beside the documents.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "platform/temp_dir.h"
#include "scan/start_sector_code.h"
#include "support/run_process.h"
#include "testimage/image_builder.h"
#include "verdict/sample_layout.h"

namespace officecarve::testing {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kDamagedSector = 1000;

std::vector<uint8_t> Sample(const std::string& name) {
  return testimage::ReadFileBytes(std::string(OFFICECARVE_TEST_DATA) + "/" + name);
}

// A .doc at sector 100, a .docx at 400 and, at 1000, the same .docx with a
// sector of noise inside the compressed data of its largest entry.
struct Disk {
  std::string image;
  std::string damaged_entry;
};

Disk BuildDisk(const TempDir& dir) {
  std::vector<uint8_t> damaged = Sample("minutes.docx");
  const ZipEntryLayout entry = LargestZipEntry(damaged);
  OverwriteWithNoise(damaged, entry.data_offset + 1024, 512, 5);
  testimage::ImageBuilder image(4096);
  image.FillNoise(1, 4095, 11);
  image.Place(100, Sample("letter.doc"));
  image.Place(400, Sample("minutes.docx"));
  image.Place(kDamagedSector, damaged);
  const std::string path = dir / "disk.img";
  image.WriteTo(path);
  return {path, entry.name};
}

ProcessResult Recover(std::vector<std::string> extra) {
  std::vector<std::string> argv = {CliBinary(), "recover"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  ProcessOptions options;
  options.environment = {"LC_ALL=C", "LANG=C"};
  return RunProcess(argv, options);
}

const nlohmann::json* FileNamed(const nlohmann::json& report, const std::string& name) {
  for (const auto& file : report["files"]) {
    if (file["name"] == name) return &file;
  }
  return nullptr;
}

TEST(RecoverVerdict, ListingAndReportsTellIntactFromDamaged) {
  TempDir dir;
  const Disk disk = BuildDisk(dir);
  const std::string damaged_name = RecoveredFileName(kDamagedSector * 512, ".DOCX");

  const ProcessResult run =
      Recover({disk.image, "-o", dir / "out", "--json", dir / "run.json", "--report"});

  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("FILE_AAAAAADW.DOC  21504 bytes  sector 100  intact\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("FILE_AAAAAAPK.DOCX  40956 bytes  sector 400  intact\n"),
            std::string::npos);
  EXPECT_NE(run.out.find(damaged_name + "  40956 bytes  sector 1000  damaged: entry " +
                         disk.damaged_entry + ": "),
            std::string::npos)
      << run.out;

  const auto report = nlohmann::json::parse(testimage::ReadFileBytes(dir / "run.json"));
  const nlohmann::json* intact = FileNamed(report, "FILE_AAAAAADW.DOC");
  const nlohmann::json* damaged = FileNamed(report, damaged_name);
  ASSERT_NE(intact, nullptr);
  ASSERT_NE(damaged, nullptr);
  EXPECT_EQ((*intact)["verdict"], "intact");
  EXPECT_TRUE((*intact)["problem"].is_null());
  EXPECT_EQ((*damaged)["verdict"], "damaged");
  EXPECT_EQ((*damaged)["problem"].get<std::string>().rfind("entry " + disk.damaged_entry, 0), 0u);

  // --report writes the same report into the output folder.
  EXPECT_EQ(testimage::ReadFileBytes(dir / "out/officecarve-report.json"),
            testimage::ReadFileBytes(dir / "run.json"));
}

TEST(RecoverVerdict, TheReportReplacesOnlyAnEarlierReport) {
  TempDir dir;
  const Disk disk = BuildDisk(dir);
  fs::create_directories(dir / "out");
  WriteFile(dir / "out/officecarve-report.json", "an earlier report");

  const ProcessResult again = Recover({disk.image, "-o", dir / "out", "--report", "-q"});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  const auto report =
      nlohmann::json::parse(testimage::ReadFileBytes(dir / "out/officecarve-report.json"));
  EXPECT_EQ(report["recovered_count"], 3);

  // A link under the report's name would lead the write to another file.
  WriteFile(dir / "keep.txt", "the user's own file");
  fs::remove(dir / "out/officecarve-report.json");
  fs::create_symlink(dir / "keep.txt", dir / "out/officecarve-report.json");
  const ProcessResult linked = Recover({disk.image, "-o", dir / "out", "--report", "-q"});
  EXPECT_EQ(linked.exit_code, 1);
  EXPECT_NE(linked.err.find("officecarve-report.json: exists and is not a plain file of its own"),
            std::string::npos)
      << linked.err;
  EXPECT_EQ(ReadFile(dir / "keep.txt"), "the user's own file");

  fs::remove(dir / "out/officecarve-report.json");
  fs::create_hard_link(dir / "keep.txt", dir / "out/officecarve-report.json");
  EXPECT_EQ(Recover({disk.image, "-o", dir / "out", "--report", "-q"}).exit_code, 1);
  EXPECT_EQ(ReadFile(dir / "keep.txt"), "the user's own file");

  // A refused scan has not accepted the folder: nothing is written there.
  const ProcessResult refused =
      Recover({disk.image, "-o", dir / "fresh", "--report", "--last", "5000"});
  EXPECT_NE(refused.exit_code, 0);
  EXPECT_FALSE(fs::exists(dir / "fresh/officecarve-report.json"));
}

// File names on Linux are bytes; a Latin-1 folder name used to make the
// report writer throw.
TEST(RecoverVerdict, AReportNamingFoldersThatAreNotUtf8IsStillWritten) {
  TempDir dir;
  const Disk disk = BuildDisk(dir);
  const std::string folder = dir / "caf\xE9";

  const ProcessResult run = Recover({disk.image, "-o", folder, "--report", "-q"});

  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto report =
      nlohmann::json::parse(testimage::ReadFileBytes(folder + "/officecarve-report.json"));
  EXPECT_EQ(report["recovered_count"], 3);
}

}  // namespace
}  // namespace officecarve::testing
