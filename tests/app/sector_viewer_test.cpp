#include "app/sector_viewer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "support/recording_frontend.h"
#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"

namespace officecarve {
namespace {

using testimage::ImageBuilder;
using testimage::MemoryHandle;
using testimage::PseudoRandomBytes;
using testing::RecordingFrontend;

// Opens `sectors` sectors of 512 bytes, sector n starting with the byte n & 0xFF.
void OpenNumberedImage(SectorSource& source, int64_t sectors) {
  std::vector<uint8_t> bytes = PseudoRandomBytes(static_cast<size_t>(sectors) * 512, 4);
  for (int64_t s = 0; s < sectors; ++s) bytes[s * 512] = static_cast<uint8_t>(s);
  EXPECT_TRUE(source
                  .OpenHandle(std::make_unique<MemoryHandle>(std::move(bytes)), SourceType::kImage,
                              "v.img", "v.img")
                  .ok);
}

std::string FirstByteShown(const SectorViewer& viewer) { return viewer.Lines().at(1).substr(5, 2); }

TEST(SectorViewer, StepsAndPagesWithinTheSourceAndEnablesOnlyUsefulButtons) {
  SectorSource source;
  OpenNumberedImage(source, 20);
  SectorViewer viewer(source);
  ASSERT_TRUE(viewer.ShowSector(4));
  viewer.PageBack();
  EXPECT_EQ(viewer.Current(), 0);
  EXPECT_FALSE(viewer.CanGoBack());
  EXPECT_TRUE(viewer.CanGoForward());
  viewer.Previous();
  viewer.Next();
  viewer.PageForward();
  EXPECT_EQ(viewer.Current(), 11);
  EXPECT_EQ(FirstByteShown(viewer), "0B");
  viewer.ShowSector(16);
  viewer.PageForward();
  viewer.Next();
  EXPECT_EQ(viewer.Current(), 19);
  EXPECT_TRUE(viewer.CanGoBack());
  EXPECT_FALSE(viewer.CanGoForward());

  OpenNumberedImage(source, 1);
  viewer.Clear();
  viewer.Last();
  EXPECT_TRUE(viewer.HasSector());
  EXPECT_FALSE(viewer.CanGoBack());
  EXPECT_FALSE(viewer.CanGoForward());
}

TEST(SectorViewerGoTo, ShowsTheTypedSectorOrTheRangeError) {
  ScanState state;
  RecordingFrontend frontend(state);
  const UiTextTable texts(TextVariant::SimplifiedChinese);
  SectorSource source;
  OpenNumberedImage(source, 20);
  SectorViewer viewer(source);
  viewer.ShowSector(3);

  viewer.GoTo(" 19", frontend, texts);
  EXPECT_EQ(viewer.Current(), 19);
  for (const char* typed : {"abc", "20", "-1", "", "1e3"}) {
    SCOPED_TRACE(typed);
    frontend.messages.clear();
    viewer.GoTo(typed, frontend, texts);
    ASSERT_EQ(frontend.messages.size(), 1u);
    EXPECT_EQ(frontend.messages[0].text, "超出有效扇区范围!");
    EXPECT_EQ(frontend.messages[0].caption, "错误");
    EXPECT_EQ(viewer.Current(), 19);
  }
}

TEST(SectorViewer, ReadsDirectlyAndKeepsTheDisplayWhenASectorCannotBeRead) {
  ImageBuilder builder(8, 4096);
  builder.WriteNtfsBoot({.bytes_per_sector = 4096, .sectors_per_cluster = 1});
  builder.FillNoise(1, 7, 3);
  auto handle = std::make_unique<MemoryHandle>(builder.Bytes(), 4096);
  handle->MakeUnreadable(7);
  SectorSource source;
  ASSERT_TRUE(source.OpenHandle(std::move(handle), SourceType::kImage, "n.img", "n.img").ok);
  SectorViewer viewer(source);
  ASSERT_TRUE(viewer.ShowSector(6));
  EXPECT_EQ(viewer.Lines().size(), 1u + 4096 / 32);  // buffer sized from the geometry
  EXPECT_EQ(viewer.Lines().back().substr(0, 5), "FE0: ");
  EXPECT_EQ(source.WindowFills(), 0u);
  const std::string shown = viewer.Text();
  viewer.Next();
  EXPECT_EQ(viewer.Current(), 6);
  EXPECT_EQ(viewer.Text(), shown);
}

TEST(SectorViewer, ShowsNothingForAnImageSmallerThanASectorOrNoSource) {
  SectorSource source;
  ASSERT_TRUE(source
                  .OpenHandle(std::make_unique<MemoryHandle>(PseudoRandomBytes(100, 1)),
                              SourceType::kImage, "s.img", "s.img")
                  .ok);
  ScanState state;
  RecordingFrontend frontend(state);
  const UiTextTable texts(TextVariant::English);
  SectorViewer viewer(source);
  EXPECT_FALSE(viewer.ShowSector(0));
  viewer.Next();
  viewer.Last();
  viewer.PageForward();
  EXPECT_FALSE(viewer.HasSector());
  EXPECT_TRUE(viewer.Lines().empty());
  EXPECT_EQ(viewer.Text(), "");
  viewer.GoTo("0", frontend, texts);
  EXPECT_EQ(frontend.messages.size(), 1u);

  source.CloseSource();
  EXPECT_FALSE(viewer.ShowSector(0));
  frontend.messages.clear();
  viewer.GoTo("0", frontend, texts);
  EXPECT_TRUE(frontend.messages.empty());
}

}  // namespace
}  // namespace officecarve
