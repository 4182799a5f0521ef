// The command-line program run as a user runs it, on images written to disk.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "imaging/sector_dump.h"
#include "platform/temp_dir.h"
#include "support/run_process.h"
#include "testimage/image_builder.h"

namespace officecarve {
namespace {

using testimage::FatBootParams;
using testimage::ImageBuilder;
using testimage::PseudoRandomBytes;
using testimage::ReadFileBytes;
using testing::TempDir;

using CliRun = testing::ProcessResult;

// Runs the program in a locale, so the messages come in a known language.
CliRun RunCli(const std::vector<std::string>& arguments, const std::string& locale = "C") {
  std::vector<std::string> argv = {testing::CliBinary()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  testing::ProcessOptions options;
  options.environment = {"LC_ALL=" + locale};
  return testing::RunProcess(argv, options);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A FAT16 volume of 2,048 sectors: 4 sectors per cluster, clusters starting at
// odd sectors (first data sector 433, phase 1).
std::string WriteFat16Image(const TempDir& dir) {
  ImageBuilder builder(2048);
  builder.WriteFat16Boot(FatBootParams{});
  builder.FillNoise(1, 2047, 4);
  const std::string path = dir / "fat16.img";
  builder.WriteTo(path);
  return path;
}

std::string WriteNoiseImage(const TempDir& dir, int64_t sectors) {
  ImageBuilder builder(sectors);
  builder.MutableBytes() = PseudoRandomBytes(static_cast<size_t>(sectors) * 512, 6);
  const std::string path = dir / "noise.img";
  builder.WriteTo(path);
  return path;
}

TEST(CliProbe, PrintsTheBootSectorsGeometryAsTextAndJson) {
  TempDir dir;
  const std::string image = WriteFat16Image(dir);
  const CliRun text = RunCli({"probe", image});
  EXPECT_EQ(text.exit_code, 0) << text.err;
  EXPECT_TRUE(Contains(text.out, "file system:            fat\n")) << text.out;
  EXPECT_TRUE(Contains(text.out, "bytes per sector:       512\n"));
  EXPECT_TRUE(Contains(text.out, "sectors per cluster:    4\n"));
  EXPECT_TRUE(Contains(text.out, "cluster phase:          1\n"));
  EXPECT_TRUE(Contains(text.out, "sector count:           2048\n"));
  EXPECT_TRUE(Contains(text.out, "boot sector recognised: yes\n"));

  const CliRun json = RunCli({"probe", WriteNoiseImage(dir, 10), "--json"});
  ASSERT_EQ(json.exit_code, 0) << json.err;
  const nlohmann::json report = nlohmann::json::parse(json.out);
  EXPECT_EQ(report["file_system"], "other");
  EXPECT_EQ(report["cluster_phase"], -1);
  EXPECT_EQ(report["sector_count"], 10);
  EXPECT_EQ(report["boot_sector_recognised"], false);

  const CliRun missing = RunCli({"probe", dir / "nothing.img"});
  EXPECT_NE(missing.exit_code, 0);
  EXPECT_TRUE(Contains(missing.err, "Failed to open file!")) << missing.err;
}

TEST(CliView, PrintsTheSectorExactlyAsTheViewerShowsIt) {
  TempDir dir;
  ImageBuilder builder(16);
  builder.WriteNtfsBoot({});
  const std::string image = dir / "ntfs.img";
  builder.WriteTo(image);

  const CliRun run = RunCli({"view", image, "0"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::string expected;
  for (const std::string& line :
       SectorDumpLines(std::span<const uint8_t>(builder.Bytes().data(), 512))) {
    expected += line + "\n";
  }
  EXPECT_EQ(run.out, expected);
  const size_t first_line = run.out.find('\n') + 1;
  EXPECT_EQ(run.out.substr(first_line, 25), "000: EB52 904E 5446 5320 ");
  EXPECT_EQ(run.out.substr(first_line + 85, 8), ".R.NTFS ");
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 17);
}

TEST(CliView, RefusesASectorOutsideTheSourceWithTheViewersMessage) {
  TempDir dir;
  const std::string image = WriteNoiseImage(dir, 10);
  for (const char* sector : {"10", "-1", "abc"}) {
    SCOPED_TRACE(sector);
    const CliRun run = RunCli({"view", image, sector}, "zh_CN.UTF-8");
    EXPECT_NE(run.exit_code, 0);
    EXPECT_TRUE(run.out.empty());
    EXPECT_TRUE(Contains(run.err, "超出有效扇区范围!")) << run.err;
  }
  EXPECT_EQ(RunCli({"view", image, "9"}).exit_code, 0);
}

TEST(CliBackup, CopiesTheWholeSourceOrTheGivenRange) {
  TempDir dir;
  const std::string image = WriteNoiseImage(dir, 300);
  const std::vector<uint8_t> bytes = ReadFileBytes(image);
  const CliRun whole = RunCli({"backup", image, dir / "whole.img"});
  EXPECT_EQ(whole.exit_code, 0) << whole.err;
  EXPECT_TRUE(Contains(whole.err, "Finished!"));
  EXPECT_EQ(ReadFileBytes(dir / "whole.img"), bytes);

  const CliRun part = RunCli({"backup", image, dir / "part.img", "--first", "10", "--last", "19"});
  EXPECT_EQ(part.exit_code, 0) << part.err;
  EXPECT_EQ(ReadFileBytes(dir / "part.img"),
            std::vector<uint8_t>(bytes.begin() + 10 * 512, bytes.begin() + 20 * 512));
}

TEST(CliBackup, FailsWithTheReasonWhenTheBackupCannotBeMade) {
  TempDir dir;
  const std::string image = WriteNoiseImage(dir, 300);
  const CliRun range = RunCli({"backup", image, dir / "x.img", "--last", "300"});
  EXPECT_NE(range.exit_code, 0);
  EXPECT_TRUE(Contains(range.err, "Invalid sector range!")) << range.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "x.img"));

  const std::string nowhere = dir / "missing/x.img";
  const CliRun uncreatable = RunCli({"backup", image, nowhere});
  EXPECT_NE(uncreatable.exit_code, 0);
  EXPECT_TRUE(Contains(uncreatable.err, "Cannot create IMG file: " + nowhere)) << uncreatable.err;
}

// The geometry the scan used, from the run's JSON report.
nlohmann::json RecoverGeometry(const TempDir& dir, const std::string& image,
                               const std::vector<std::string>& choices, CliRun* run_out = nullptr) {
  const std::string report = dir / "report.json";
  std::vector<std::string> arguments = {"recover", image, "-o", dir / "out", "--json", report};
  arguments.insert(arguments.end(), choices.begin(), choices.end());
  const CliRun run = RunCli(arguments);
  if (run_out != nullptr) *run_out = run;
  EXPECT_EQ(run.exit_code, 0) << run.err;
  if (run.exit_code != 0) return {};
  return nlohmann::json::parse(testing::ReadFile(report))["geometry"];
}

TEST(CliRecover, AppliesTheLossReasonFileSystemAndClusterChoicesInOrder) {
  TempDir dir;
  const std::string fat16 = WriteFat16Image(dir);
  nlohmann::json geometry = RecoverGeometry(dir, fat16, {});
  EXPECT_EQ(geometry["sectors_per_cluster"], 4);
  EXPECT_EQ(geometry["cluster_phase"], 1);

  geometry = RecoverGeometry(dir, fat16, {"--reason", "formatted", "--fs", "ntfs"});
  EXPECT_EQ(geometry["sectors_per_cluster"], 8);
  EXPECT_EQ(geometry["cluster_phase"], -1);
  EXPECT_EQ(geometry["file_system"], "fat");  // the choice never changes the kind

  geometry = RecoverGeometry(dir, fat16, {"--reason", "repartitioned", "--cluster", "16k"});
  EXPECT_EQ(geometry["sectors_per_cluster"], 32);

  geometry = RecoverGeometry(dir, fat16, {"--reason", "formatted"});  // 2,048 sectors: 0.5K
  EXPECT_EQ(geometry["sectors_per_cluster"], 1);

  CliRun run;
  geometry = RecoverGeometry(dir, WriteNoiseImage(dir, 64), {"--reason", "deleted"}, &run);
  EXPECT_TRUE(Contains(run.err, "Unknown file system, not support this option!")) << run.err;
  EXPECT_EQ(geometry["sectors_per_cluster"], 1);
}

TEST(CliRecover, RefusesGeometryChoicesTheIntactBootSectorOverrides) {
  TempDir dir;
  const std::string fat16 = WriteFat16Image(dir);
  const CliRun locked = RunCli({"recover", fat16, "-o", dir / "out", "--fs", "fat32"});
  EXPECT_EQ(locked.exit_code, 2);
  EXPECT_TRUE(Contains(locked.err, "--reason formatted")) << locked.err;
  EXPECT_EQ(RunCli({"recover", fat16, "-o", dir / "out", "--cluster", "3K"}).exit_code, 2);
  EXPECT_EQ(RunCli({"recover", fat16, "-o", dir / "out", "--reason", "lost"}).exit_code, 2);
}

TEST(CliDevices, ListsWithoutFailing) {
  const CliRun run = RunCli({"devices"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
}

}  // namespace
}  // namespace officecarve
