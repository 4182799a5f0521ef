#include "platform/file_save.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_size_limit.h"
#include "platform/temp_dir.h"

namespace officecarve {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(SaveFileReplacing, WritesTheWholeBufferAsANewFile) {
  TempDir dir;
  std::string content(3 * 1024 * 1024 + 17, 'd');
  content[0] = '\xD0';
  const SaveResult saved = SaveFileReplacing(dir / "FILE_AAAAAABB.DOC", Bytes(content));
  EXPECT_TRUE(saved.ok);
  EXPECT_EQ(ReadFile(dir / "FILE_AAAAAABB.DOC"), content);
}

TEST(SaveFileReplacing, ReplacesALongerReadOnlyFileAndKeepsItsOtherPermissions) {
  TempDir dir;
  const std::string path = dir / "FILE_AAAAAAAC.XLS";
  WriteFile(path, std::string(5000, 'o'));
  ASSERT_EQ(chmod(path.c_str(), 0440), 0);

  EXPECT_TRUE(SaveFileReplacing(path, Bytes("new")).ok);
  EXPECT_EQ(ReadFile(path), "new");
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(SaveFileReplacing, ReplacesASymbolicLinkAndLeavesItsTargetAlone) {
  TempDir dir;
  TempDir elsewhere;
  const std::string target = elsewhere / "precious.txt";
  WriteFile(target, "keep me");
  const std::string path = dir / "FILE_AAAAAAAA.DOC";
  for (const std::string& link_to : {target, std::string(elsewhere / "missing.txt")}) {
    SCOPED_TRACE(link_to);
    ASSERT_EQ(symlink(link_to.c_str(), path.c_str()), 0);

    EXPECT_TRUE(SaveFileReplacing(path, Bytes("recovered")).ok);

    struct stat info {};
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(ReadFile(path), "recovered");
    EXPECT_EQ(ReadFile(target), "keep me");
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "missing.txt"));
    ASSERT_EQ(unlink(path.c_str()), 0);
  }
}

TEST(SaveFileReplacing, AnEmptyBufferLeavesAnEmptyFile) {
  TempDir dir;
  WriteFile(dir / "old.ppt", "previous content");
  EXPECT_TRUE(SaveFileReplacing(dir / "old.ppt", {}).ok);
  EXPECT_EQ(ReadFile(dir / "old.ppt"), "");
}

TEST(SaveFileReplacing, FailsWithTheReasonWhenThePathCannotHoldAFile) {
  TempDir dir;
  const SaveResult no_folder = SaveFileReplacing(dir / "missing/FILE_A.DOC", Bytes("x"));
  EXPECT_FALSE(no_folder.ok);
  EXPECT_EQ(no_folder.error, ENOENT);

  std::filesystem::create_directory(dir / "FILE_B.DOC");
  const SaveResult on_directory = SaveFileReplacing(dir / "FILE_B.DOC", Bytes("x"));
  EXPECT_FALSE(on_directory.ok);
  EXPECT_EQ(on_directory.error, EISDIR);
  EXPECT_TRUE(IsExistingDirectory(dir / "FILE_B.DOC"));
  EXPECT_FALSE(IsExistingDirectory(dir / "missing"));
}

TEST(SaveFileReplacing, ReportsAWriteThatRunsOutOfRoomAndLeavesNoTruncatedDocument) {
  TempDir dir;
  const std::string path = dir / "FILE_AAAAAAAD.DOC";
  SaveResult saved;
  {
    testing::FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.Active());
    saved = SaveFileReplacing(path, Bytes(std::string(10000, 'x')));
  }
  EXPECT_FALSE(saved.ok);
  EXPECT_EQ(saved.error, EFBIG);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SaveFileReplacing, RefusesAPipeInsteadOfBlockingOnIt) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "FILE_PIPE.DOC").c_str(), 0600), 0);
  const SaveResult saved = SaveFileReplacing(dir / "FILE_PIPE.DOC", Bytes("x"));
  EXPECT_FALSE(saved.ok);
  EXPECT_EQ(saved.error, EINVAL);
  EXPECT_TRUE(std::filesystem::exists(dir / "FILE_PIPE.DOC"));
}

}  // namespace
}  // namespace officecarve
