// What `officecarve probe` and `recover` say about the cluster grid they
// scan with, on a raw image and on a partitioned disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "platform/temp_dir.h"
#include "support/disk_tools.h"
#include "support/run_process.h"
#include "testimage/fragmented_layout.h"

namespace officecarve::testing {
namespace {

namespace fs = std::filesystem;

ProcessResult RunCli(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), CliBinary());
  ProcessOptions options;
  options.environment = {"LC_ALL=C", "LANG=C"};
  return RunProcess(arguments, options);
}

std::set<std::string> NamesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

TEST(GridOnTheCommandLine, ARawImageGetsAnEstimatedGridThatTheUserCanOverride) {
  TempDir dir;
  const std::vector<std::string> documents = {"letter.doc",    "minutes.docx", "budget.xls",
                                              "schedule.xlsx", "overview.ppt", "ledger.xlsx"};
  const std::vector<std::string> foreign = {"plain.png", "camera.jpg", "leaflet.pdf", "bundle.zip"};
  // Three of each, so the grid has the headers of a used disk.
  auto document_samples = testimage::ReadSamples(OFFICECARVE_TEST_DATA, documents);
  const auto once = document_samples;
  for (int copy = 0; copy < 2; ++copy) {
    document_samples.insert(document_samples.end(), once.begin(), once.end());
  }
  const auto foreign_samples = testimage::ReadSamples(OFFICECARVE_TEST_DATA, foreign);
  testimage::ImageBuilder image(6000);
  image.FillNoise(0, 62, 3);
  const testimage::FragmentedLayout layout{63, 5999, 8};
  ASSERT_EQ(testimage::LayFragmented(image, layout, document_samples, foreign_samples).size(),
            document_samples.size());
  const std::string path = dir / "raw.img";
  image.WriteTo(path);

  const ProcessResult estimated =
      RunCli({"recover", path, "-o", dir / "a", "--json", dir / "a.json"});
  ASSERT_EQ(estimated.exit_code, 0) << estimated.err;
  EXPECT_NE(estimated.err.find("Cluster grid: 4K, phase 7, estimated from "), std::string::npos)
      << estimated.err;
  const auto report = nlohmann::json::parse(ReadFile(dir / "a.json"));
  ASSERT_EQ(report["regions"].size(), 1u);
  EXPECT_EQ(report["regions"][0]["origin"], "estimated");
  EXPECT_EQ(report["regions"][0]["sectors_per_cluster"], 8);
  EXPECT_EQ(report["regions"][0]["cluster_phase"], 7);
  EXPECT_EQ(
      report["regions"][0]["text"].get<std::string>().rfind("4K, phase 7, estimated from ", 0), 0u);

  const ProcessResult told =
      RunCli({"recover", path, "-o", dir / "b", "--reason", "repartitioned", "--cluster", "4K"});
  ASSERT_EQ(told.exit_code, 0) << told.err;
  EXPECT_NE(told.err.find("Cluster grid: 4K, phase 7, chosen"), std::string::npos) << told.err;
  EXPECT_EQ(NamesIn(dir / "a"), NamesIn(dir / "b"));
  EXPECT_GE(NamesIn(dir / "a").size(), 15u);

  const ProcessResult probe = RunCli({"probe", path});
  EXPECT_NE(probe.out.find("partition table:        not recognised"), std::string::npos);
  EXPECT_NE(probe.out.find("Cluster grid: estimated when scanning"), std::string::npos);
}

TEST(GridOnTheCommandLine, AWholeDiskIsProbedAndScannedPartitionByPartition) {
  const std::string sfdisk = FindFormatter("sfdisk");
  const std::string mkfs = FindFormatter("mkfs.vfat");
  if (sfdisk.empty() || mkfs.empty()) GTEST_SKIP() << "sfdisk or mkfs.vfat is not installed";
  TempDir dir;
  const std::string disk = dir / "disk.img";
  ASSERT_TRUE(MakeEmptyImage(disk, 8u << 20));
  ASSERT_TRUE(
      RunSfdisk(sfdisk, disk, "label: dos\nstart=2048, size=8192, type=c\nstart=10240, type=83\n"));
  ASSERT_TRUE(RunFormatter(mkfs, "-F 32 -s 8 --offset 2048 " + disk + " 4096"));

  const ProcessResult probe = RunCli({"probe", disk});
  ASSERT_EQ(probe.exit_code, 0) << probe.err;
  EXPECT_NE(probe.out.find("partition table:        MBR, 2 partitions"), std::string::npos)
      << probe.out;
  EXPECT_NE(probe.out.find("0x0C FAT32"), std::string::npos) << probe.out;
  EXPECT_NE(probe.out.find("fat32, 512-byte sectors, 8 per cluster"), std::string::npos);
  EXPECT_NE(probe.out.find("Cluster grid: outside partitions [0-2047]: estimated when scanning"),
            std::string::npos)
      << probe.out;
  EXPECT_NE(probe.out.find("partition 1 boot sector"), std::string::npos) << probe.out;
  const auto json = nlohmann::json::parse(RunCli({"probe", disk, "--json"}).out);
  EXPECT_EQ(json["partition_table"]["scheme"], "MBR");
  EXPECT_EQ(json["partition_table"]["partitions"][1]["first_sector"], 10240);
  EXPECT_EQ(json["regions"][1]["origin"], "partition-boot-sector");

  const ProcessResult recover = RunCli({"recover", disk, "-o", dir / "out"});
  ASSERT_EQ(recover.exit_code, 0) << recover.err;
  EXPECT_NE(recover.err.find("Cluster grid: partition 2 [10240-16383]: single units (0 headers)"),
            std::string::npos)
      << recover.err;
}

}  // namespace
}  // namespace officecarve::testing
