#include "platform/invoking_user.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/file_save.h"
#include "platform/image_file.h"
#include "platform/temp_dir.h"
#include "support/scoped_environment.h"

namespace officecarve {
namespace {

using testing::TempDir;

// The unprivileged user every Debian system has; tests play them as the one
// who started the program, without adding users to the machine.
constexpr uint32_t kNobody = 65534;

struct UserEntry {
  uint32_t gid = 0;
  std::string home;
};

std::optional<UserEntry> Nobody() {
  const passwd* entry = getpwuid(kNobody);
  if (entry == nullptr) return std::nullopt;
  return UserEntry{entry->pw_gid, entry->pw_dir};
}

TEST(UserNamedByElevation, PkexecFirstThenSudoAndNothingForUnknownOrMalformedIds) {
  const auto nobody = Nobody();
  if (!nobody) GTEST_SKIP() << "no user 65534 on this system";
  struct Case {
    const char* pkexec_uid;
    const char* sudo_uid;
    const char* sudo_gid;
    std::optional<uint32_t> uid;
    uint32_t gid;
  };
  const Case cases[] = {
      {"65534", nullptr, nullptr, kNobody, nobody->gid},
      {"65534", "0", "0", kNobody, nobody->gid},  // pkexec started us last
      {nullptr, "65534", "4321", kNobody, 4321},  // the group sudo was asked from
      {nullptr, "65534", "junk", kNobody, nobody->gid},
      {nullptr, "0", nullptr, 0, 0},
      {nullptr, nullptr, nullptr, std::nullopt, 0},
      {"", nullptr, nullptr, std::nullopt, 0},
      {"-1", nullptr, nullptr, std::nullopt, 0},
      {"4294967295", nullptr, nullptr, std::nullopt, 0},
      {"12abc", "65534", nullptr, kNobody, nobody->gid},
      {"3999999999", nullptr, nullptr, std::nullopt, 0},  // nobody has that uid
  };
  for (const Case& test : cases) {
    const auto user = UserNamedByElevation(test.pkexec_uid, test.sudo_uid, test.sudo_gid);
    const std::string label = std::string(test.pkexec_uid ? test.pkexec_uid : "unset") + " / " +
                              (test.sudo_uid ? test.sudo_uid : "unset");
    ASSERT_EQ(user.has_value(), test.uid.has_value()) << label;
    if (!user) continue;
    EXPECT_EQ(user->uid, *test.uid) << label;
    EXPECT_EQ(user->gid, test.gid) << label;
    EXPECT_FALSE(user->home.empty()) << label;
  }
}

// Running as root for user 65534: what the program makes becomes theirs, what
// was there before stays as it was.
class CreatedFilesOwner : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, as the program has when started by pkexec";
    nobody_ = Nobody();
    if (!nobody_) GTEST_SKIP() << "no user 65534 on this system";
    environment_.ClearElevation();
    environment_.Set("PKEXEC_UID", std::to_string(kNobody));
  }

  void ExpectOwnedBy(const std::string& path, uint32_t uid, uint32_t gid) const {
    struct stat info {};
    ASSERT_EQ(lstat(path.c_str(), &info), 0) << path;
    EXPECT_EQ(info.st_uid, uid) << path;
    EXPECT_EQ(info.st_gid, gid) << path;
  }
  void ExpectTheirs(const std::string& path) const { ExpectOwnedBy(path, kNobody, nobody_->gid); }

  testing::ScopedEnvironment environment_;
  std::optional<UserEntry> nobody_;
  TempDir dir_;
};

TEST_F(CreatedFilesOwner, FoldersFilesAndImagesMadeAreTheUsersAndOlderOnesAreLeftAlone) {
  const auto owner = OwnerForCreatedFiles();
  ASSERT_TRUE(owner.has_value());
  EXPECT_EQ(owner->uid, kNobody);
  EXPECT_EQ(owner->gid, nobody_->gid);

  std::filesystem::create_directory(dir_.Path() / "Documents");
  const std::string folder = dir_ / "Documents/Recovered documents/2024";
  ASSERT_TRUE(CreateFolders(folder, owner).ok);
  ExpectTheirs(dir_ / "Documents/Recovered documents");
  ExpectTheirs(folder);
  ExpectOwnedBy(dir_ / "Documents", 0, getegid());
  ExpectOwnedBy(dir_.Path().string(), 0, getegid());

  const uint8_t bytes[] = {1, 2, 3};
  ASSERT_TRUE(SaveFileReplacing(folder + "/FILE_AAAAAABB.DOC", bytes, owner).ok);
  ExpectTheirs(folder + "/FILE_AAAAAABB.DOC");
  // A file of root's that a new copy replaces keeps its owner.
  testing::WriteFile(dir_ / "Documents/FILE_AAAAAAAC.XLS", "old");
  ASSERT_TRUE(SaveFileReplacing(dir_ / "Documents/FILE_AAAAAAAC.XLS", bytes, owner).ok);
  ExpectOwnedBy(dir_ / "Documents/FILE_AAAAAAAC.XLS", 0, getegid());

  int error = 0;
  auto image = SystemImageWriterFactory()(dir_ / "Documents/backup.img", &error);
  ASSERT_NE(image, nullptr) << error;
  ASSERT_TRUE(image->Close(&error));
  ExpectTheirs(dir_ / "Documents/backup.img");
}

TEST_F(CreatedFilesOwner, NobodyToHandOverToWhenRootStartedItselfOrNoUserIsNamed) {
  environment_.Set("PKEXEC_UID", "0");
  EXPECT_FALSE(OwnerForCreatedFiles().has_value());
  environment_.ClearElevation();
  EXPECT_FALSE(OwnerForCreatedFiles().has_value());
  environment_.Set("SUDO_UID", std::to_string(kNobody));
  environment_.Set("SUDO_GID", "0");
  const auto owner = OwnerForCreatedFiles();
  ASSERT_TRUE(owner.has_value());
  EXPECT_EQ(owner->uid, kNobody);
  EXPECT_EQ(owner->gid, 0u);

  const InvokingUser user = InvokingUserOfThisProcess();
  EXPECT_EQ(user.uid, kNobody);
  EXPECT_EQ(user.home, nobody_->home);  // theirs, not root's HOME
}

TEST(CreateFolders, MakesEveryMissingLevelButNotThroughAFile) {
  TempDir dir;
  EXPECT_FALSE(FolderCanBeMade(dir.Path().string()));  // exists already
  EXPECT_TRUE(FolderCanBeMade(dir / "a/b/c/"));
  EXPECT_TRUE(CreateFolders(dir / "a/b/c/").ok);
  EXPECT_TRUE(IsExistingDirectory(dir / "a/b/c"));
  EXPECT_TRUE(CreateFolders(dir / "a/b/c").ok);  // nothing left to make

  testing::WriteFile(dir / "file", "x");
  EXPECT_FALSE(FolderCanBeMade(dir / "file/sub"));
  const SaveResult through_file = CreateFolders(dir / "file/sub");
  EXPECT_FALSE(through_file.ok);
  EXPECT_EQ(through_file.error, ENOTDIR);
  EXPECT_FALSE(FolderCanBeMade(""));
}

}  // namespace
}  // namespace officecarve
