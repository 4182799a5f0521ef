// The output folder as the scan meets it: the program's default folder, which
// may not exist until the first document is saved, and, when the program
// runs as root for a user, what it makes belongs to that user.
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "carvers/dispatch.h"
#include "platform/temp_dir.h"
#include "scan/scan_driver.h"
#include "support/recording_frontend.h"
#include "testimage/doc_samples.h"
#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"
#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>

#include "support/scoped_environment.h"
#endif

namespace officecarve {
namespace {

namespace fs = std::filesystem;
using testimage::ImageBuilder;

class OutputFolderScan : public ::testing::Test {
 protected:
  // An image holding one word-processor document at sector 10, or nothing.
  void Open(bool with_document, SourceType type = SourceType::kImage,
            SourceIdentity identity = {}) {
    ImageBuilder image(128);
    if (with_document) {
      testimage::CompoundFileSpec recipe;
      recipe.stream_names = {"WordDocument"};
      recipe.data_sectors = 8;
      image.Place(10, testimage::MakeCompoundFile(recipe));
    }
    auto handle = std::make_unique<testimage::MemoryHandle>(image.Share());
    if (type == SourceType::kVolume) handle->ActAsDevice(128 * 512, 512);
    ASSERT_TRUE(source_.OpenHandle(std::move(handle), type, "disk", "disk", identity).ok);
  }

  ScanReport Scan(const std::string& folder, bool create_missing_folder) {
    ScanRequest request;
    request.folder = folder;
    request.create_missing_folder = create_missing_folder;
    request.first_text = "0";
    request.last_text = std::to_string(source_.Working().last_sector);
    return driver_.Start(request);
  }

  // Where a default under the documents folder would be: two levels missing.
  std::string DefaultFolder() const { return dir_ / "Documents/Recovered documents"; }

  testing::TempDir dir_;
  SectorSource source_;
  ScanState state_;
  testing::RecordingFrontend frontend_{state_};
  UiTextTable texts_{TextVariant::SimplifiedChinese};
  ScanDriver driver_{source_, frontend_, state_, texts_, &DispatchFor};
};

TEST_F(OutputFolderScan, TheDefaultFolderIsMadeByTheFirstSaveAndATypedMissingOneIsRefused) {
  Open(true);
  const ScanReport typed = Scan(DefaultFolder(), false);
  EXPECT_FALSE(typed.started);
  EXPECT_EQ(typed.refusal, TextId::kSelectFolder);
  EXPECT_FALSE(fs::exists(dir_ / "Documents"));

  const ScanReport proposed = Scan(DefaultFolder(), true);
  ASSERT_TRUE(proposed.started);
  EXPECT_EQ(proposed.recovered_count, 1);
  EXPECT_TRUE(fs::is_regular_file(DefaultFolder() + "/FILE_AAAAAAAK.DOC"));
}

TEST_F(OutputFolderScan, NothingFoundMakesNoFolderAndAFileInTheWayIsRefused) {
  Open(false);
  const ScanReport empty = Scan(DefaultFolder(), true);
  EXPECT_TRUE(empty.started);
  EXPECT_FALSE(fs::exists(dir_ / "Documents"));

  testing::WriteFile(dir_ / "Documents", "not a folder");
  const ScanReport blocked = Scan(DefaultFolder(), true);
  EXPECT_FALSE(blocked.started);
  EXPECT_EQ(blocked.refusal, TextId::kSelectFolder);
}

#ifndef _WIN32
TEST_F(OutputFolderScan, ADefaultFolderThatWouldBeMadeOnTheSourceDriveIsRefused) {
  struct stat info {};
  ASSERT_EQ(stat(dir_.Path().c_str(), &info), 0);
  // A drive source whose device is the one the scratch folder lives on.
  Open(true, SourceType::kVolume, SourceIdentity{true, info.st_dev});
  const ScanReport report = Scan(DefaultFolder(), true);
  EXPECT_FALSE(report.started);
  EXPECT_EQ(report.refusal, TextId::kFolderOnSourceDrive);
  EXPECT_EQ(frontend_.messages.back().text, "恢复文件保存的路径不得在源文件同一分区!");
  EXPECT_FALSE(fs::exists(dir_ / "Documents"));
}

TEST_F(OutputFolderScan, RunningAsRootForAUserTheirFolderAndDocumentsAreTheirs) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, as the program has when started by pkexec";
  const passwd* nobody = getpwuid(65534);
  if (nobody == nullptr) GTEST_SKIP() << "no user 65534 on this system";
  const uid_t uid = nobody->pw_uid;
  const gid_t gid = nobody->pw_gid;
  testing::ScopedEnvironment environment;
  environment.ClearElevation();
  environment.Set("PKEXEC_UID", "65534");

  Open(true);
  ASSERT_EQ(Scan(DefaultFolder(), true).recovered_count, 1);
  for (const std::string& made :
       {dir_ / "Documents", DefaultFolder(), DefaultFolder() + "/FILE_AAAAAAAK.DOC"}) {
    struct stat info {};
    ASSERT_EQ(stat(made.c_str(), &info), 0) << made;
    EXPECT_EQ(info.st_uid, uid) << made;
    EXPECT_EQ(info.st_gid, gid) << made;
  }
  struct stat scratch {};
  ASSERT_EQ(stat(dir_.Path().c_str(), &scratch), 0);
  EXPECT_EQ(scratch.st_uid, 0u);  // it was there before
}
#endif

}  // namespace
}  // namespace officecarve
