#include "platform/image_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_size_limit.h"
#include "platform/temp_dir.h"

namespace officecarve {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct stat StatOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  return info;
}

TEST(ImageFileWriter, PreallocatesTheExactSizeWithRealBlocksAndWritesFromTheStart) {
  TempDir dir;
  const std::string path = dir / "backup.img";
  WriteFile(path, std::string(100000, 'o'));  // an older, longer image is replaced
  int error = 0;
  auto writer = SystemImageWriterFactory()(path, &error);
  ASSERT_NE(writer, nullptr) << error;

  constexpr uint64_t kImageBytes = 300 * 512;
  ASSERT_TRUE(writer->Preallocate(kImageBytes, &error)) << error;
  const struct stat sized = StatOf(path);
  EXPECT_EQ(sized.st_size, static_cast<off_t>(kImageBytes));
  // Reserved for real, not a sparse hole that a full disk could not fill later.
  EXPECT_GE(static_cast<uint64_t>(sized.st_blocks) * 512, kImageBytes);

  const std::vector<uint8_t> first_block(128 * 512, 0xAB);
  ASSERT_TRUE(writer->Write(first_block, &error));
  ASSERT_TRUE(writer->Close(&error));
  EXPECT_TRUE(writer->Close(&error)) << "a second close is harmless";

  const std::string content = ReadFile(path);
  ASSERT_EQ(content.size(), kImageBytes);
  EXPECT_EQ(content.substr(0, first_block.size()), std::string(first_block.size(), '\xAB'));
  EXPECT_EQ(content.substr(first_block.size()),
            std::string(kImageBytes - first_block.size(), '\0'));
}

TEST(ImageFileWriter, ReportsADestinationTooSmallWhenSizingNotWhileCopying) {
  TempDir dir;
  int error = 0;
  auto writer = ImageFileWriter::Create(dir / "big.img", &error);
  ASSERT_NE(writer, nullptr);
  bool sized = true;
  {
    testing::FileSizeLimit limit(1 << 20);
    ASSERT_TRUE(limit.Active());
    sized = writer->Preallocate(4 << 20, &error);
  }
  EXPECT_FALSE(sized);
  EXPECT_EQ(error, EFBIG);
  EXPECT_TRUE(writer->Close(&error));
  EXPECT_TRUE(std::filesystem::exists(dir / "big.img")) << "the created file stays";
}

TEST(ImageFileWriter, RefusesPathsThatAreNotFiles) {
  TempDir dir;
  int error = 0;
  EXPECT_EQ(ImageFileWriter::Create(dir.Path().string(), &error), nullptr);
  EXPECT_EQ(error, EISDIR);
  EXPECT_EQ(ImageFileWriter::Create(dir / "no/such/folder.img", &error), nullptr);
  EXPECT_EQ(error, ENOENT);
  // A pipe (or a device node) as "image file" would not be a file at all.
  ASSERT_EQ(mkfifo((dir / "pipe.img").c_str(), 0600), 0);
  EXPECT_EQ(ImageFileWriter::Create(dir / "pipe.img", &error), nullptr);
  EXPECT_EQ(error, EINVAL);
}

}  // namespace
}  // namespace officecarve
