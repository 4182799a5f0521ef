#include "platform/same_device.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <optional>

#include <gtest/gtest.h>

#include "platform/fake_sysfs.h"
#include "platform/temp_dir.h"

namespace officecarve {
namespace {

using testing::FakeSysfs;
using testing::TempDir;
using testing::WriteFile;

// Device numbers no real device on the test machine is expected to have.
constexpr unsigned kFakeMajor = 4095;

uint64_t FakeDev(unsigned minor_number) { return makedev(kFakeMajor, minor_number); }
std::string FakeDevText(unsigned minor_number) {
  return std::to_string(kFakeMajor) + ":" + std::to_string(minor_number);
}

std::string DevText(uint64_t dev) {
  return std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
}

SourceIdentity BlockSource(uint64_t rdev) { return {true, rdev}; }

std::optional<std::string> AnyBlockDeviceNode() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
    struct stat info {};
    if (stat(entry.path().c_str(), &info) == 0 && S_ISBLK(info.st_mode)) return entry.path();
  }
  return std::nullopt;
}

// The folder under test lives in a temp dir; the fake tree decides what its
// device is part of. An empty mountinfo keeps the real mounts out of it.
class SameDeviceTest : public ::testing::Test {
 protected:
  SameDeviceTest() : sys_(dir_.Path() / "sys") {
    std::filesystem::create_directory(Folder());
    WriteFile(MountInfo(), "");
    struct stat info {};
    EXPECT_EQ(stat(Folder().c_str(), &info), 0);
    folder_dev_ = info.st_dev;
  }

  std::string Folder() const { return dir_ / "out"; }
  std::string MountInfo() const { return dir_ / "mountinfo"; }

  bool FolderOnSource(const SourceIdentity& source) const {
    return FolderIsOnSourceDevice(Folder(), source, sys_.ClassBlock(), MountInfo());
  }

  TempDir dir_;
  FakeSysfs sys_;
  uint64_t folder_dev_ = 0;
};

TEST_F(SameDeviceTest, AFolderOnTheSourceItselfIsRefusedAndSoIsAFileToBeCreatedThere) {
  EXPECT_TRUE(FolderOnSource(BlockSource(folder_dev_)));
  EXPECT_TRUE(TargetIsOnSourceDevice(Folder() + "/backup.img", BlockSource(folder_dev_),
                                     sys_.ClassBlock(), MountInfo()));
  EXPECT_FALSE(FolderOnSource(BlockSource(FakeDev(9))));
}

TEST_F(SameDeviceTest, AWholeDiskSourceHoldsItsPartitionsButNotAnotherDisks) {
  sys_.AddDisk("sdz", FakeDevText(0), 1000);
  sys_.AddPartition("sdz", "sdz1", DevText(folder_dev_), 500);
  sys_.AddDisk("sdy", FakeDevText(16), 1000);
  sys_.AddPartition("sdy", "sdy1", FakeDevText(17), 500);

  EXPECT_TRUE(FolderOnSource(BlockSource(FakeDev(0))));
  EXPECT_FALSE(FolderOnSource(BlockSource(FakeDev(16))));
  EXPECT_FALSE(FolderOnSource(BlockSource(FakeDev(17))));
}

TEST_F(SameDeviceTest, APartitionSourceSharesSectorsWithItsDiskButNotWithItsSiblings) {
  sys_.AddDisk("sdz", DevText(folder_dev_), 1000);
  sys_.AddPartition("sdz", "sdz2", FakeDevText(2), 500);
  EXPECT_TRUE(FolderOnSource(BlockSource(FakeDev(2)))) << "folder on the disk holding the source";

  TempDir other;
  FakeSysfs siblings(other.Path());
  siblings.AddDisk("sdz", FakeDevText(0), 1000);
  siblings.AddPartition("sdz", "sdz1", DevText(folder_dev_), 500);
  siblings.AddPartition("sdz", "sdz2", FakeDevText(2), 500);
  EXPECT_FALSE(FolderIsOnSourceDevice(Folder(), BlockSource(FakeDev(2)), siblings.ClassBlock(),
                                      MountInfo()));
}

TEST_F(SameDeviceTest, AFolderOnAVolumeStackedOnTheSourceIsRefused) {
  // An encrypted volume on a RAID built from the source disk's partition.
  sys_.AddDisk("sdz", FakeDevText(0), 1000);
  sys_.AddPartition("sdz", "sdz3", FakeDevText(3), 500);
  sys_.AddDisk("sdx", FakeDevText(32), 1000);
  sys_.AddStacked("md0", FakeDevText(100), {"sdz3", "sdx"});
  sys_.AddStacked("dm-0", DevText(folder_dev_), {"md0"});

  EXPECT_TRUE(FolderOnSource(BlockSource(FakeDev(3))));
  EXPECT_TRUE(FolderOnSource(BlockSource(FakeDev(0))));
  EXPECT_TRUE(FolderOnSource(BlockSource(FakeDev(32))));
  EXPECT_FALSE(FolderOnSource(BlockSource(FakeDev(48))));
}

TEST_F(SameDeviceTest, ALoopInTheStackingDoesNotHang) {
  sys_.AddStacked("dm-0", DevText(folder_dev_), {"dm-1"});
  sys_.AddStacked("dm-1", FakeDevText(201), {"dm-0"});
  EXPECT_FALSE(FolderOnSource(BlockSource(FakeDev(5))));
}

TEST_F(SameDeviceTest, AFileSystemWithAnAnonymousDeviceIsTracedThroughItsMountSource) {
  // /dev is a devtmpfs on Linux: an anonymous device number, like btrfs gives.
  struct stat dev_folder {};
  const auto node = AnyBlockDeviceNode();
  if (stat("/dev", &dev_folder) != 0 || major(dev_folder.st_dev) != 0 || !node) {
    GTEST_SKIP() << "needs an anonymous-device /dev and a block device node";
  }
  struct stat node_info {};
  ASSERT_EQ(stat(node->c_str(), &node_info), 0);
  // A mount source with a space, as mountinfo escapes it.
  std::filesystem::create_symlink(*node, dir_ / "backing disk");
  WriteFile(MountInfo(), "20 1 8:1 / / rw - ext4 /dev/unrelated rw\n30 20 " +
                             DevText(dev_folder.st_dev) + " / /dev rw shared:2 - btrfs " +
                             (dir_ / "backing\\040disk") + " rw,subvol=/\n");

  EXPECT_TRUE(FolderIsOnSourceDevice("/dev", BlockSource(node_info.st_rdev), sys_.ClassBlock(),
                                     MountInfo()));
  EXPECT_FALSE(
      FolderIsOnSourceDevice("/dev", BlockSource(FakeDev(7)), sys_.ClassBlock(), MountInfo()));
}

TEST_F(SameDeviceTest, ABackupTargetThatIsTheSourceDeviceNodeIsRefused) {
  const auto node = AnyBlockDeviceNode();
  if (!node) GTEST_SKIP() << "no block device node";
  const SourceIdentity source = IdentifySource(*node);
  ASSERT_TRUE(source.is_block_device);
  EXPECT_TRUE(TargetIsOnSourceDevice(*node, source, sys_.ClassBlock(), MountInfo()));
}

TEST_F(SameDeviceTest, AnImageSourceAcceptsAnyFolderButNotItselfAsTarget) {
  const std::string image = dir_ / "disk.img";
  WriteFile(image, std::string(4096, '\0'));
  const SourceIdentity source = IdentifySource(image);
  EXPECT_FALSE(source.is_block_device);
  EXPECT_TRUE(source.is_image_file);

  EXPECT_FALSE(
      FolderIsOnSourceDevice(dir_.Path().string(), source, sys_.ClassBlock(), MountInfo()));
  EXPECT_FALSE(TargetIsOnSourceDevice(dir_ / "copy.img", source, sys_.ClassBlock(), MountInfo()));
  EXPECT_TRUE(TargetIsOnSourceDevice(image, source, sys_.ClassBlock(), MountInfo()));
  std::filesystem::create_symlink(image, dir_ / "alias.img");
  EXPECT_TRUE(TargetIsOnSourceDevice(dir_ / "alias.img", source, sys_.ClassBlock(), MountInfo()));
}

TEST(IdentifySource, AnUnreachablePathIsNeitherDeviceNorImage) {
  const SourceIdentity source = IdentifySource("/nonexistent/disk.img");
  EXPECT_FALSE(source.is_block_device);
  EXPECT_FALSE(source.is_image_file);
  EXPECT_FALSE(FolderIsOnSourceDevice("/tmp", source));
  EXPECT_FALSE(TargetIsOnSourceDevice("/tmp/x.img", source));
}

}  // namespace
}  // namespace officecarve
