#include "platform/raw_handle.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include <gtest/gtest.h>

#include "platform/temp_dir.h"

namespace officecarve {
namespace {

using testing::TempDir;
using testing::WriteFile;

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

TEST(OpenRawReadOnly, GivesAFileItsLengthAndItsBytesAtAnyOffset) {
  TempDir dir;
  const std::string content = Pattern(3 * 65536 + 100);
  WriteFile(dir / "disk.img", content);

  RawOpenResult opened = OpenRawReadOnly(dir / "disk.img");
  ASSERT_NE(opened.handle, nullptr) << OsErrorText(opened.error);
  RawHandle& handle = *opened.handle;
  EXPECT_FALSE(handle.IsBlockDevice());
  EXPECT_EQ(handle.DeviceLength(), std::nullopt);
  EXPECT_EQ(handle.LogicalSectorSize(), std::nullopt);
  EXPECT_EQ(handle.Seek(0, SeekOrigin::kEnd), static_cast<int64_t>(content.size()));

  // A read larger than any single chunk still fills the whole buffer.
  std::vector<uint8_t> buffer(2 * 65536 + 3);
  ASSERT_EQ(handle.Seek(65536 - 3, SeekOrigin::kBegin), 65536 - 3);
  ASSERT_EQ(handle.Read(buffer), static_cast<int64_t>(buffer.size()));
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), content.substr(65536 - 3, buffer.size()));
  // The next read goes on where that one ended.
  std::vector<uint8_t> next(100);
  ASSERT_EQ(handle.Read(next), 100);
  EXPECT_EQ(std::string(next.begin(), next.end()), content.substr(65536 - 3 + buffer.size(), 100));
}

TEST(OpenRawReadOnly, ReadsShortAtTheEndAndNothingPastIt) {
  TempDir dir;
  WriteFile(dir / "small.img", Pattern(1000));
  RawOpenResult opened = OpenRawReadOnly(dir / "small.img");
  ASSERT_NE(opened.handle, nullptr);

  std::vector<uint8_t> buffer(512);
  ASSERT_EQ(opened.handle->Seek(512, SeekOrigin::kBegin), 512);
  EXPECT_EQ(opened.handle->Read(buffer), 488);
  EXPECT_EQ(opened.handle->Read(buffer), 0);
  ASSERT_EQ(opened.handle->Seek(5000, SeekOrigin::kBegin), 5000);
  EXPECT_EQ(opened.handle->Read(buffer), 0);
  EXPECT_EQ(opened.handle->Seek(-1, SeekOrigin::kBegin), -1);
  EXPECT_EQ(opened.handle->LastError(), EINVAL);
}

TEST(OpenRawReadOnly, RefusesWhatHoldsNoSectors) {
  TempDir dir;
  EXPECT_EQ(OpenRawReadOnly(dir.Path().string()).error, EISDIR);
  EXPECT_EQ(OpenRawReadOnly(dir / "missing.img").error, ENOENT);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.img")) << "never created";

  // A pipe chosen by mistake is refused at once instead of hanging the open.
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  RawOpenResult pipe = OpenRawReadOnly(dir / "pipe");
  EXPECT_EQ(pipe.handle, nullptr);
  EXPECT_EQ(pipe.error, EINVAL);
}

TEST(OpenRawReadOnly, ReportsPermissionDeniedForAnUnreadableFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
  TempDir dir;
  WriteFile(dir / "secret.img", "abc");
  ASSERT_EQ(chmod((dir / "secret.img").c_str(), 0200), 0);
  EXPECT_EQ(OpenRawReadOnly(dir / "secret.img").error, EACCES);
}

// Needs a block device this process may read (for example as root); skipped otherwise.
TEST(OpenRawReadOnly, AsksABlockDeviceForItsLengthAndSectorSize) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
    struct stat info {};
    if (stat(entry.path().c_str(), &info) != 0 || !S_ISBLK(info.st_mode)) continue;
    RawOpenResult opened = OpenRawReadOnly(entry.path().string());
    if (opened.handle == nullptr) continue;
    RawHandle& device = *opened.handle;
    EXPECT_TRUE(device.IsBlockDevice());
    const auto length = device.DeviceLength();
    ASSERT_TRUE(length.has_value()) << entry.path();
    EXPECT_EQ(device.Seek(0, SeekOrigin::kEnd), *length);
    const auto sector_size = device.LogicalSectorSize();
    ASSERT_TRUE(sector_size.has_value());
    EXPECT_GE(*sector_size, 512u);
    EXPECT_EQ(*sector_size & (*sector_size - 1), 0u) << "not a power of two";
    return;
  }
  GTEST_SKIP() << "no readable block device";
}

TEST(OsErrorText, NamesTheError) {
  EXPECT_EQ(OsErrorText(ENOENT), "No such file or directory");
  EXPECT_FALSE(OsErrorText(123456).empty());
}

}  // namespace
}  // namespace officecarve
