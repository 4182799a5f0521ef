#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "app/application.h"
#include "app/open_source.h"
#include "platform/block_devices.h"
#include "platform/win32/fake_windows.h"
#include "platform/win32/volume_path.h"
#include "support/recording_frontend.h"

namespace officecarve {
namespace {

constexpr int64_t kGiB = int64_t{1} << 30;

std::vector<uint8_t> NumberedSectors(size_t count, size_t sector_size) {
  std::vector<uint8_t> bytes(count * sector_size);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i / sector_size + 1);
  return bytes;
}

testing::FakeWindows::Drive Volume(int64_t length, std::optional<DWORD> bytes_per_sector = 512) {
  testing::FakeWindows::Drive drive;
  drive.length = length;
  drive.bytes_per_sector = bytes_per_sector;
  return drive;
}

TEST(Win32Volume, OpensTheDevicePathReadOnlyWithFullSharing) {
  testing::FakeWindows windows;
  windows.drives['D'] = Volume(64 * kGiB);
  SectorSource source;
  ASSERT_TRUE(source.OpenVolume(win32::VolumeDevicePath('d'), "D:").ok);

  ASSERT_EQ(windows.opens.size(), 1u);
  const auto& open = windows.opens[0];
  EXPECT_EQ(open.path, "\\\\.\\D:");
  EXPECT_EQ(open.access, static_cast<DWORD>(GENERIC_READ));
  EXPECT_EQ(open.share, 7u);
  EXPECT_FALSE(open.security_attributes);
  EXPECT_EQ(open.disposition, static_cast<DWORD>(OPEN_EXISTING));
  EXPECT_EQ(open.flags, 0u);
  EXPECT_FALSE(open.template_file);
  // The length comes from the volume itself, into an 8-byte buffer.
  ASSERT_EQ(windows.ioctls.size(), 1u);
  EXPECT_EQ(windows.ioctls[0].code, 0x7405Cu);
  EXPECT_EQ(windows.ioctls[0].input_size, 0u);
  EXPECT_EQ(windows.ioctls[0].output_size, 8u);
  EXPECT_EQ(source.Working().last_sector, 64 * kGiB / 512 - 1);
}

TEST(Win32Volume, TakesTheSectorSizeOfAnUnrecognisedVolumeFromTheSystem) {
  testing::FakeWindows windows;
  windows.drives['E'] = Volume(1 << 24, 2048);
  windows.drives['F'] = Volume(1 << 24, std::nullopt);
  SectorSource source;

  ASSERT_TRUE(source.OpenVolume(win32::VolumeDevicePath('E'), "E:").ok);
  EXPECT_EQ(windows.free_space_roots.back(), "E:");  // two characters, no backslash
  EXPECT_EQ(source.Working().kind, FileSystemKind::kOther);
  EXPECT_EQ(source.Working().bytes_per_sector, 2048u);
  EXPECT_EQ(source.Working().sectors_per_cluster, 1u);
  EXPECT_EQ(source.Working().cluster_phase, -1);
  EXPECT_EQ(source.Working().last_sector, (1 << 24) / 2048 - 1);

  // When the system cannot tell, 512.
  ASSERT_TRUE(source.OpenVolume(win32::VolumeDevicePath('F'), "F:").ok);
  EXPECT_EQ(source.Working().bytes_per_sector, 512u);
  EXPECT_EQ(source.Working().last_sector, (1 << 24) / 512 - 1);
}

TEST(Win32Volume, ReadsSectorsThroughTheWindowAndDirectly) {
  testing::FakeWindows windows;
  const std::vector<uint8_t> bytes = NumberedSectors(300, 512);
  windows.drives['G'] = Volume(300 * 512);
  windows.drives['G'].bytes = bytes;
  SectorSource source;
  ASSERT_TRUE(source.OpenVolume(win32::VolumeDevicePath('G'), "G:").ok);

  std::vector<uint8_t> sector(512);
  ASSERT_EQ(source.ReadAt(sector.data(), 512, 200 * 512), 0);
  EXPECT_EQ(sector, std::vector<uint8_t>(512, 201));
  ASSERT_TRUE(source.ReadSectorDirect(299, sector.data()));
  EXPECT_EQ(sector, std::vector<uint8_t>(512, 44));  // 300 wraps to 44 in a byte
  EXPECT_FALSE(source.ReadSectorDirect(300, sector.data()));
}

TEST(Win32Volume, ClosesTheHandleWhenTheLengthIsNotToBeHad) {
  testing::FakeWindows windows;
  windows.drives['H'] = Volume(1 << 20);
  windows.drives['H'].length_query_fails = true;
  SectorSource source;
  const OpenOutcome outcome = source.OpenVolume(win32::VolumeDevicePath('H'), "H:");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, TextId::kGetParametersFailed);
  EXPECT_FALSE(source.IsOpen());
  EXPECT_EQ(windows.closes, 1);
}

TEST(Win32Volume, TellsTheUserADriveThatCannotBeOpened) {
  testing::FakeWindows windows;  // no drive J
  Application app(TextVariant::English);
  testing::RecordingFrontend frontend(app.state);
  EXPECT_FALSE(OpenVolumeAndReport(app, frontend, win32::VolumeDevicePath('J'), "J:"));
  ASSERT_EQ(frontend.messages.size(), 1u);
  EXPECT_EQ(frontend.messages[0].text, "Failed to open drive!");
  EXPECT_EQ(frontend.messages[0].caption, "Error");
  EXPECT_FALSE(frontend.messages[0].detail.empty());  // the system's reason
  EXPECT_FALSE(app.source.IsOpen());
}

TEST(Win32Volume, SeeksWithTheHighHalfAndKeepsTheAllOnesPosition) {
  testing::FakeWindows windows;
  windows.drives['K'] = Volume(8 * kGiB);
  SectorSource source;
  ASSERT_TRUE(source.OpenVolume(win32::VolumeDevicePath('K'), "K:").ok);

  EXPECT_EQ(source.SeekTo(4 * kGiB + 512, SeekOrigin::kBegin), 4 * kGiB + 512);
  EXPECT_EQ(windows.seeks.back().low, 512);
  EXPECT_EQ(windows.seeks.back().high, 1);
  EXPECT_EQ(windows.seeks.back().method, static_cast<DWORD>(FILE_BEGIN));

  // The invalid-position value is a position when the error is 0, even after
  // an earlier call left an error behind.
  windows.last_error = ERROR_ACCESS_DENIED;
  EXPECT_EQ(source.SeekTo(0xFFFFFFFF, SeekOrigin::kBegin), int64_t{0xFFFFFFFF});
  EXPECT_EQ(source.SeekTo(0x1FFFFFFFF, SeekOrigin::kBegin), int64_t{0x1FFFFFFFF});
  // ... and a failure when the call reports an error with it.
  EXPECT_EQ(source.SeekTo(-512, SeekOrigin::kBegin), -1);
  EXPECT_EQ(source.SeekTo(0, SeekOrigin::kEnd), 8 * kGiB);
}

TEST(Win32Drives, ListsTheLetteredDrivesAsVolumes) {
  testing::FakeWindows windows;
  windows.drives['C'] = Volume(100 * kGiB);
  windows.drives['C'].label = "System";
  windows.drives['D'] = Volume(0);
  windows.drives['D'].drive_type = DRIVE_NO_ROOT_DIR;
  windows.drives['E'] = Volume(16 * kGiB, 4096);
  windows.drives['E'].drive_type = DRIVE_REMOVABLE;
  const std::vector<BlockDevice> devices = ListBlockDevices();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].path, "\\\\.\\C:");
  EXPECT_EQ(devices[0].name, "C:");
  EXPECT_EQ(devices[0].size_bytes, 100 * kGiB);
  EXPECT_EQ(devices[0].label, "System");
  EXPECT_EQ(devices[1].path, "\\\\.\\E:");
  EXPECT_EQ(devices[1].logical_sector_size, 4096u);
}

TEST(Win32Drives, TakesADriveLetterOnTheCommandLineAsAVolume) {
  EXPECT_EQ(VolumePathForArgument("d:"), "\\\\.\\D:");
  EXPECT_EQ(VolumePathForArgument("D:\\"), "\\\\.\\D:");
  EXPECT_EQ(VolumePathForArgument("\\\\.\\e:"), "\\\\.\\E:");
  EXPECT_EQ(VolumePathForArgument("disk.img"), std::nullopt);
  EXPECT_EQ(VolumePathForArgument("D:\\disk.img"), std::nullopt);
  EXPECT_EQ(VolumePathForArgument("1:"), std::nullopt);
}

}  // namespace
}  // namespace officecarve
