#include "platform/block_devices.h"

#include <gtest/gtest.h>

#include "platform/fake_sysfs.h"
#include "platform/temp_dir.h"

namespace officecarve {
namespace {

using testing::FakeSysfs;
using testing::TempDir;

class ListBlockDevicesTest : public ::testing::Test {
 protected:
  ListBlockDevicesTest() : sys_(dir_.Path() / "sys") {
    std::filesystem::create_directories(LabelDir());
  }

  std::string LabelDir() const { return dir_ / "by-label"; }

  void Label(const std::string& label_file_name, const std::string& device_name) {
    std::filesystem::create_symlink("../../" + device_name,
                                    std::filesystem::path(LabelDir()) / label_file_name);
  }

  std::vector<BlockDevice> List() const {
    return ListBlockDevices(sys_.ClassBlock(), "/dev", LabelDir());
  }

  TempDir dir_;
  FakeSysfs sys_;
};

TEST_F(ListBlockDevicesTest, DescribesDisksAndPartitionsFromTheTree) {
  sys_.AddDisk("sdb", "8:16", 31250000, "  Cruzer Blade    ", 4096, true);
  sys_.AddPartition("sdb", "sdb1", "8:17", 31248000);
  Label("USB\\x20STICK", "sdb1");

  const auto devices = List();
  ASSERT_EQ(devices.size(), 2u);
  const BlockDevice& disk = devices[0];
  EXPECT_EQ(disk.path, "/dev/sdb");
  EXPECT_EQ(disk.size_bytes, 31250000LL * 512);
  EXPECT_EQ(disk.logical_sector_size, 4096u);
  EXPECT_FALSE(disk.is_partition);
  EXPECT_EQ(disk.parent, "");
  EXPECT_EQ(disk.label, "Cruzer Blade");
  EXPECT_TRUE(disk.read_only);

  const BlockDevice& partition = devices[1];
  EXPECT_EQ(partition.path, "/dev/sdb1");
  EXPECT_EQ(partition.name, "sdb1");
  EXPECT_EQ(partition.size_bytes, 31248000LL * 512);  // 512-byte units even on 4K disks
  EXPECT_EQ(partition.logical_sector_size, 4096u) << "taken from its disk";
  EXPECT_TRUE(partition.is_partition);
  EXPECT_EQ(partition.parent, "sdb");
  EXPECT_EQ(partition.label, "USB STICK");
  EXPECT_FALSE(partition.read_only);
}

TEST_F(ListBlockDevicesTest, AnUnlabelledPartitionShowsItsDisksModel) {
  sys_.AddDisk("nvme0n1", "259:0", 1000215216, "Fast SSD 1TB");
  sys_.AddPartition("nvme0n1", "nvme0n1p2", "259:2", 2048);
  const auto devices = List();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[1].parent, "nvme0n1");
  EXPECT_EQ(devices[1].label, "Fast SSD 1TB");
}

TEST_F(ListBlockDevicesTest, SortsAsPeopleCountAndSkipsEmptyRamAndLoopDevices) {
  sys_.AddDisk("sda", "8:0", 4000);
  for (const int number : {10, 2, 1}) {
    sys_.AddPartition("sda", "sda" + std::to_string(number), "8:" + std::to_string(number), 100);
  }
  sys_.AddDisk("loop0", "7:0", 0);
  sys_.AddDisk("ram3", "1:3", 0);
  sys_.AddDisk("loop1", "7:1", 2048);  // an attached image stays selectable
  sys_.AddDisk("sr0", "11:0", 0);

  std::vector<std::string> names;
  for (const auto& device : List()) names.push_back(device.name);
  EXPECT_EQ(names, (std::vector<std::string>{"loop1", "sda", "sda1", "sda2", "sda10", "sr0"}));
}

TEST_F(ListBlockDevicesTest, IgnoresEntriesWithoutAReadableSize) {
  sys_.AddDisk("sdc", "8:32", 100);
  sys_.AddDisk("sdd", "8:48", 100);
  testing::WriteFile(dir_ / "sys/devices/sdd/size", "garbage");
  sys_.AddDisk("sde", "8:64", 100);
  testing::WriteFile(dir_ / "sys/devices/sde/size", "99999999999999999999999");
  const auto devices = List();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].name, "sdc");
}

TEST(DescribeBlockDevice, ShowsPathSizeAndLabelWhenThereIsOne) {
  BlockDevice device;
  device.path = "/dev/sdb1";
  device.size_bytes = 16000000000;
  device.label = "USBSTICK";
  EXPECT_EQ(DescribeBlockDevice(device), "/dev/sdb1 — 14.9 GiB — USBSTICK");
  device.label.clear();
  EXPECT_EQ(DescribeBlockDevice(device), "/dev/sdb1 — 14.9 GiB");
}

TEST(HumanReadableSize, PicksTheUnitThatKeepsTheNumberBelow1024) {
  EXPECT_EQ(HumanReadableSize(0), "0 B");
  EXPECT_EQ(HumanReadableSize(1023), "1023 B");
  EXPECT_EQ(HumanReadableSize(1536), "1.5 KiB");
  EXPECT_EQ(HumanReadableSize(1073741823), "1.0 GiB") << "not 1024.0 MiB";
  EXPECT_EQ(HumanReadableSize(2000398934016), "1.8 TiB");
}

}  // namespace
}  // namespace officecarve
