#include <gtest/gtest.h>

#include <filesystem>

#include "platform/same_device.h"
#include "platform/temp_dir.h"
#include "platform/win32/volume_path.h"

namespace officecarve {
namespace {

char CurrentDriveLetter() {
  return win32::DriveLetterOfAbsolutePath(std::filesystem::current_path().native());
}

TEST(Win32SameDrive, ComparesTheUpperCasedDriveLetterOfTheFolder) {
  const SourceIdentity drive_d = IdentifySource(win32::VolumeDevicePath('D'));
  EXPECT_TRUE(drive_d.is_block_device);
  EXPECT_EQ(drive_d.drive_letter, 'D');
  EXPECT_TRUE(FolderIsOnSourceDevice("d:\\out", drive_d));
  EXPECT_TRUE(FolderIsOnSourceDevice("D:/out/FILE_AAAAAAAA.DOC", drive_d));
  EXPECT_TRUE(FolderIsOnSourceDevice("\\\\?\\D:\\out", drive_d));
  EXPECT_FALSE(FolderIsOnSourceDevice("E:\\out", drive_d));
  EXPECT_FALSE(FolderIsOnSourceDevice("\\\\server\\share\\out", drive_d));
}

TEST(Win32SameDrive, JudgesARelativeFolderByTheDriveItResolvesTo) {
  const char current = CurrentDriveLetter();
  ASSERT_NE(current, 0);
  const SourceIdentity current_drive = IdentifySource(win32::VolumeDevicePath(current));
  EXPECT_TRUE(FolderIsOnSourceDevice("recovered", current_drive));
  EXPECT_TRUE(FolderIsOnSourceDevice("\\recovered", current_drive));
  EXPECT_TRUE(TargetIsOnSourceDevice("backup.img", current_drive));
}

TEST(Win32SameDrive, LetsAnImageSourceWriteAnywhereButOntoItself) {
  testing::TempDir dir;
  const std::string image = dir / "disk.img";
  testing::WriteFile(image, std::string(4096, '\0'));
  const SourceIdentity source = IdentifySource(image);
  EXPECT_TRUE(source.is_image_file);
  EXPECT_EQ(source.drive_letter, '#');

  EXPECT_FALSE(FolderIsOnSourceDevice(dir.Path().string(), source));
  EXPECT_FALSE(TargetIsOnSourceDevice(dir / "backup.img", source));
  EXPECT_FALSE(TargetIsOnSourceDevice("#backup.img", source));
  EXPECT_TRUE(TargetIsOnSourceDevice(image, source));
  // The same file named another way.
  EXPECT_TRUE(TargetIsOnSourceDevice((dir.Path() / "." / "disk.img").string(), source));
}

}  // namespace
}  // namespace officecarve
