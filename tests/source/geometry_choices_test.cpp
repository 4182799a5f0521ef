#include "source/geometry_choices.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

#include "source/cluster_size.h"
#include "support/recording_frontend.h"
#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"

namespace officecarve {
namespace {

using testimage::FatBootParams;
using testimage::ImageBuilder;
using testimage::MemoryHandle;
using testimage::PseudoRandomBytes;
using testing::RecordingFrontend;

void OpenImage(SectorSource& source, std::vector<uint8_t> bytes) {
  ASSERT_TRUE(source
                  .OpenHandle(std::make_unique<MemoryHandle>(std::move(bytes)), SourceType::kImage,
                              "t.img", "t.img")
                  .ok);
}

// A volume of `sectors` sectors whose bytes are only the first few: the
// table walks never read, they only need the size.
void OpenVolumeOfSize(SectorSource& source, int64_t sectors, uint32_t bytes_per_sector,
                      std::vector<uint8_t> head) {
  auto device = std::make_unique<MemoryHandle>(std::move(head));
  device->ActAsDevice(sectors * bytes_per_sector, bytes_per_sector);
  ASSERT_TRUE(source.OpenHandle(std::move(device), SourceType::kVolume, "/dev/t", "t").ok);
}

std::vector<uint8_t> Fat16Volume() {
  ImageBuilder builder(2048);
  builder.WriteFat16Boot(FatBootParams{});  // 4 sectors per cluster, phase 1
  return builder.Bytes();
}

struct Chooser {
  ScanState state;
  RecordingFrontend frontend{state};
  UiTextTable texts{TextVariant::SimplifiedChinese};
  SectorSource source;
  GeometryControls controls;

  void Present() { controls = PresentOpenedSource(source, texts); }
  void Reason(LossReason reason) { ChooseLossReason(source, controls, reason, frontend, texts); }
};

TEST(PresentOpenedSource, KeepsARecognisedGeometryBehindDisabledSelectors) {
  Chooser chooser;
  OpenImage(chooser.source, Fat16Volume());
  chooser.Present();
  const GeometryControls& controls = chooser.controls;
  EXPECT_EQ(controls.reason, LossReason::kDeleted);
  EXPECT_FALSE(controls.selectors_enabled);
  EXPECT_EQ(controls.file_system_item, 0);
  EXPECT_EQ(controls.cluster_item, 2);  // 4 x 512 bytes: "2K"
  EXPECT_EQ(controls.first_text, "0");
  EXPECT_EQ(controls.last_text, "2047");
  EXPECT_EQ(controls.sector_count_text, "扇区总数: 2048");
  EXPECT_EQ(chooser.source.Working().cluster_phase, 1);
  EXPECT_EQ(ClusterItemForSize(4, 1024), 3);  // "4K"
  EXPECT_EQ(ClusterItemForSize(3, 512), 0);   // no such item: "0.5K"
}

TEST(PresentOpenedSource, OffersTheSelectorsForAnUnrecognisedImage) {
  Chooser chooser;
  OpenImage(chooser.source, PseudoRandomBytes(1'000'000, 3));
  chooser.Present();
  EXPECT_EQ(chooser.controls.reason, LossReason::kRepartitioned);
  EXPECT_TRUE(chooser.controls.selectors_enabled);
  EXPECT_EQ(chooser.controls.file_system_item, 4);
  EXPECT_EQ(chooser.controls.cluster_item, 0);
  EXPECT_EQ(chooser.controls.last_text, "1952");
  EXPECT_EQ(chooser.controls.sector_count_text, "扇区总数: 1953");

  OpenImage(chooser.source, PseudoRandomBytes(100, 3));
  chooser.Present();
  EXPECT_EQ(chooser.controls.last_text, "-1");
  EXPECT_EQ(chooser.controls.sector_count_text, "扇区总数: 0");
}

TEST(ChooseLossReason, TurnsDeletedIntoFormattedWhenTheBootSectorIsUnknown) {
  Chooser chooser;
  OpenImage(chooser.source, PseudoRandomBytes(64 * 512, 5));
  chooser.Present();
  chooser.Reason(LossReason::kDeleted);
  ASSERT_EQ(chooser.frontend.messages.size(), 1u);
  EXPECT_EQ(chooser.frontend.messages[0].text, "未知分区类型, 不支持该选项!");
  EXPECT_EQ(chooser.frontend.messages[0].caption, "错误");
  EXPECT_EQ(chooser.controls.reason, LossReason::kFormatted);
  EXPECT_TRUE(chooser.controls.selectors_enabled);
  EXPECT_EQ(chooser.controls.file_system_item, 4);
  EXPECT_EQ(chooser.source.Working().sectors_per_cluster, 1u);
  EXPECT_EQ(chooser.source.Working().cluster_phase, -1);
}

TEST(ChooseLossReason, FormattedAppliesTheDefaultClusterOfTheBootSectorsFileSystem) {
  Chooser chooser;
  OpenImage(chooser.source, Fat16Volume());
  chooser.Present();
  chooser.Reason(LossReason::kFormatted);
  EXPECT_TRUE(chooser.frontend.messages.empty());
  EXPECT_TRUE(chooser.controls.selectors_enabled);
  EXPECT_EQ(chooser.controls.file_system_item, 0);
  // 2,048 sectors is under the first FAT row: 512-byte clusters.
  EXPECT_EQ(chooser.source.Working().sectors_per_cluster, 1u);
  EXPECT_EQ(chooser.source.Working().cluster_phase, -1);
  EXPECT_EQ(chooser.source.Working().kind, FileSystemKind::kFat);
  EXPECT_EQ(chooser.controls.cluster_item, 0);
}

TEST(ChooseLossReason, DeletedBringsBackTheProbedGeometryAndLocksTheSelectors) {
  Chooser chooser;
  OpenImage(chooser.source, Fat16Volume());
  chooser.Present();
  chooser.Reason(LossReason::kRepartitioned);
  ChooseFileSystem(chooser.source, chooser.controls, 2);
  ChooseClusterSize(chooser.source, chooser.controls, 6);
  ASSERT_NE(chooser.source.Working(), chooser.source.Probed());

  chooser.Reason(LossReason::kDeleted);
  EXPECT_EQ(chooser.source.Working(), chooser.source.Probed());
  EXPECT_EQ(chooser.source.Working().cluster_phase, 1);
  EXPECT_FALSE(chooser.controls.selectors_enabled);
  EXPECT_EQ(chooser.controls.file_system_item, 0);
  EXPECT_EQ(chooser.controls.cluster_item, 2);

  // Disabled selectors cannot be clicked.
  ChooseFileSystem(chooser.source, chooser.controls, 2);
  ChooseClusterSize(chooser.source, chooser.controls, 0);
  EXPECT_EQ(chooser.source.Working(), chooser.source.Probed());
}

TEST(ChooseFileSystem, FatTableSwitchesClusterSizeAtItsRowLimit) {
  for (const auto& [last_sector, sectors, item] :
       {std::tuple{65'534, 1u, 0}, std::tuple{65'535, 2u, 1}}) {
    SCOPED_TRACE(last_sector);
    Chooser chooser;
    OpenVolumeOfSize(chooser.source, last_sector + 1, 512, PseudoRandomBytes(4096, 1));
    chooser.Present();
    ChooseFileSystem(chooser.source, chooser.controls, 0);
    EXPECT_EQ(chooser.source.Working().sectors_per_cluster, sectors);
    EXPECT_EQ(chooser.controls.cluster_item, item);
  }
}

TEST(ChooseFileSystem, KeepsTheClusterSizeWhenTheVolumeOutgrowsEveryRow) {
  Chooser chooser;
  OpenVolumeOfSize(chooser.source, 67'108'864, 512, PseudoRandomBytes(4096, 1));
  chooser.Present();
  ChooseClusterSize(chooser.source, chooser.controls, 5);  // 16K: 32 sectors
  ChooseFileSystem(chooser.source, chooser.controls, 1);   // FAT32's last row is 67,108,863
  EXPECT_EQ(chooser.source.Working().sectors_per_cluster, 32u);
  EXPECT_EQ(chooser.controls.cluster_item, 5);
  EXPECT_EQ(chooser.controls.file_system_item, 1);
  ChooseFileSystem(chooser.source, chooser.controls, 3);  // exFAT still fits: 128K
  EXPECT_EQ(chooser.source.Working().sectors_per_cluster, 256u);
  ChooseFileSystem(chooser.source, chooser.controls, 2);
  EXPECT_EQ(chooser.source.Working().sectors_per_cluster, 8u);
  ChooseFileSystem(chooser.source, chooser.controls, 4);
  EXPECT_EQ(chooser.source.Working().sectors_per_cluster, 1u);
  EXPECT_EQ(chooser.source.Working().kind, FileSystemKind::kOther);
}

TEST(DefaultSectorsPerCluster, CountsTheLimitsInUnitsOf512Bytes) {
  // 4096-byte sectors: the first FAT row ends at 65,535 / 8 sectors, and its
  // 512-byte cluster still takes one whole sector.
  EXPECT_EQ(DefaultSectorsPerCluster(0, 8'190, 4096), 1u);
  EXPECT_EQ(DefaultSectorsPerCluster(0, 65'535, 4096), 2u);  // 8K row
  EXPECT_EQ(DefaultSectorsPerCluster(3, 524'287, 512), 64u);
  // Sizes the engine never opens must not divide by zero.
  EXPECT_EQ(DefaultSectorsPerCluster(0, 100, 256), 2u);
  EXPECT_EQ(DefaultSectorsPerCluster(0, 100, 0), 0u);
}

TEST(ChooseClusterSize, ForgetsThePhaseAndNeverGoesBelowOneSector) {
  ImageBuilder builder(64, 4096);
  builder.WriteNtfsBoot({.bytes_per_sector = 4096, .sectors_per_cluster = 1});
  Chooser chooser;
  OpenImage(chooser.source, builder.Bytes());
  chooser.Present();
  chooser.Reason(LossReason::kFormatted);  // NTFS: 8 sectors, "32K"
  EXPECT_EQ(chooser.controls.cluster_item, 6);
  ChooseClusterSize(chooser.source, chooser.controls, 0);
  EXPECT_EQ(chooser.source.Working().sectors_per_cluster, 1u);
  EXPECT_EQ(chooser.source.Working().cluster_phase, -1);
}

}  // namespace
}  // namespace officecarve
