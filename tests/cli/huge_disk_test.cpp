// A disk of more than 2 TiB, as a sparse image: a document lying beyond
// sector 2^32 is found, named after its start sector and recovered. Only a
// range around it is scanned, so the test stays quick.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/temp_dir.h"
#include "scan/start_sector_code.h"
#include "support/run_process.h"
#include "testimage/image_builder.h"

namespace officecarve::testing {
namespace {

constexpr int64_t kImageBytes = 2'748'779'069'440;  // 2.5 TiB
constexpr int64_t kDocumentSector = (int64_t{1} << 32) + 777;

TEST(HugeDisk, RecoversADocumentBeyondSector2To32) {
  TempDir dir;
  const std::string image = dir / "huge.img";
  const std::vector<uint8_t> document =
      testimage::ReadFileBytes(std::string(OFFICECARVE_TEST_DATA) + "/letter.doc");
  {
    const int fd = open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, kImageBytes), 0) << "the file system cannot hold a sparse 2.5 TiB file";
    ASSERT_EQ(pwrite(fd, document.data(), document.size(), kDocumentSector * 512),
              static_cast<ssize_t>(document.size()));
    ASSERT_EQ(close(fd), 0);
  }

  ProcessOptions english;
  english.environment = {"LC_ALL=C", "LANG=C"};
  const ProcessResult run = RunProcess(
      {CliBinary(), "recover", image, "-o", dir / "out", "--first",
       std::to_string(kDocumentSector - 300), "--last", std::to_string(kDocumentSector + 300)},
      english);

  EXPECT_EQ(run.exit_code, 0) << run.err;
  const std::string name = RecoveredFileName(kDocumentSector * 512, ".DOC");
  EXPECT_EQ(testimage::ReadFileBytes(dir / ("out/" + name)), document);
  EXPECT_NE(run.out.find("sector " + std::to_string(kDocumentSector)), std::string::npos)
      << run.out;
  EXPECT_EQ(std::filesystem::file_size(image), static_cast<uintmax_t>(kImageBytes));
}

}  // namespace
}  // namespace officecarve::testing
