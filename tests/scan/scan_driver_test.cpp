#include "scan/scan_driver.h"
#include "carvers/dispatch.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/temp_dir.h"
#include "support/allocation_counter.h"
#include "support/recording_frontend.h"
#include "testimage/doc_samples.h"
#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"
#include "testimage/null_frontend.h"

namespace officecarve {
namespace {

using testimage::ImageBuilder;

constexpr std::string_view kGif = "GIF89a";
constexpr std::string_view kJpegOther = "\xFF\xD8\xFF\xDB";

void PlaceText(ImageBuilder& image, int64_t sector, std::string_view text) {
  image.Place(sector, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

// Three transport-stream packets: a sector that can lie anywhere in a stream.
void PlaceTsPackets(ImageBuilder& image, int64_t sector) {
  std::vector<uint8_t> bytes(512, 0);
  for (const size_t sync : {0, 188, 376}) bytes[sync] = 0x47;
  image.Place(sector, bytes);
}

// A word-processor document the compound-file carver recovers.
std::vector<uint8_t> WordDocument(uint32_t data_sectors = 8) {
  testimage::CompoundFileSpec recipe;
  recipe.stream_names = {"WordDocument"};
  recipe.data_sectors = data_sectors;
  return testimage::MakeCompoundFile(recipe);
}

class ScanDriverTest : public ::testing::Test {
 protected:
  void Open(const ImageBuilder& image) {
    auto handle = std::make_unique<testimage::MemoryHandle>(image.Share());
    counters_ = handle->counters();
    unreadable_ = handle->unreadable();
    ASSERT_TRUE(source_.OpenHandle(std::move(handle), SourceType::kImage, "img", "img").ok);
  }

  // The grid the boot sector would have given, or the one the user chose.
  void UseGrid(uint32_t sectors_per_cluster, int32_t phase) {
    source_.MutableWorking().sectors_per_cluster = sectors_per_cluster;
    source_.MutableWorking().cluster_phase = phase;
  }

  ScanRequest Request(int64_t first, int64_t last) const {
    ScanRequest request;
    request.folder = folder_.Path().string();
    request.first_text = std::to_string(first);
    request.last_text = std::to_string(last);
    return request;
  }

  ScanReport ScanAll() { return driver_.Start(Request(0, source_.Working().last_sector)); }

  uint64_t Found(FileKind kind, const ScanReport& report) const {
    return report.found_by_kind[static_cast<uint8_t>(kind)];
  }

  // Everything but the labels, as "what" or "what:window".
  std::vector<std::string> WindowEvents() const {
    std::vector<std::string> seen;
    for (const auto& event : frontend_.events) {
      if (event.what == "label") continue;
      seen.push_back(event.window < 0 ? event.what
                                      : event.what + ":" + std::to_string(event.window));
    }
    return seen;
  }

  std::vector<std::string> LabelTexts(int window, int label) const {
    std::vector<std::string> texts;
    for (const auto& event : frontend_.events) {
      if (event.what == "label" && event.window == window && event.label == label) {
        texts.push_back(event.text);
      }
    }
    return texts;
  }

  void ExpectFinalMessage(int recovered) const {
    const std::string text = "成功恢复文件 " + std::to_string(recovered);
    ASSERT_FALSE(frontend_.messages.empty());
    EXPECT_EQ(frontend_.messages.back().caption, "恢复结束");
    EXPECT_EQ(frontend_.messages.back().text, text);
    EXPECT_EQ(frontend_.messages.back().buttons, MessageButtons::kOk);
    EXPECT_EQ(frontend_.status_panels[0], text);
    EXPECT_TRUE(frontend_.main_visible);
    EXPECT_FALSE(frontend_.window_open[0]);
    EXPECT_FALSE(frontend_.window_open[1]);
  }

  bool Written(const std::string& name) const {
    return std::filesystem::exists(folder_.Path() / name);
  }

  testing::TempDir folder_;
  SectorSource source_;
  ScanState state_;
  testing::RecordingFrontend frontend_{state_};
  UiTextTable texts_{TextVariant::SimplifiedChinese};
  ScanDriver driver_{source_, frontend_, state_, texts_, &DispatchFor};
  std::shared_ptr<testimage::MemoryHandle::Counters> counters_;
  std::shared_ptr<std::set<int64_t>> unreadable_;
};

using ScanDriverStartChecks = ScanDriverTest;

TEST_F(ScanDriverStartChecks, AskForADocumentTypeBeforeAnythingElse) {
  Open(ImageBuilder(64));
  const uint64_t reads = counters_->reads;
  ScanRequest request = Request(0, 63);
  request.family_mask = 0;
  request.folder.clear();
  request.first_text = "abc";
  const ScanReport report = driver_.Start(request);

  EXPECT_FALSE(report.started);
  ASSERT_EQ(frontend_.messages.size(), 1u);
  EXPECT_EQ(frontend_.messages[0].caption, "错误");
  EXPECT_EQ(frontend_.messages[0].text, "请选择要恢复的文件类型!");
  EXPECT_EQ(frontend_.messages[0].buttons, MessageButtons::kOk);
  EXPECT_EQ(WindowEvents(), std::vector<std::string>{"message"});
  EXPECT_EQ(counters_->reads, reads);
}

TEST_F(ScanDriverStartChecks, AskForAnExistingFolderBeforeLookingAtTheRange) {
  Open(ImageBuilder(64));
  const std::string plain_file = folder_ / "plain";
  testing::WriteFile(plain_file, "x");
  for (const std::string& folder : {std::string(), folder_ / "missing", plain_file}) {
    ScanRequest request = Request(0, 64);  // also out of range
    request.first_text = "abc";
    request.folder = folder;
    EXPECT_FALSE(driver_.Start(request).started) << folder;
  }
  ASSERT_EQ(frontend_.messages.size(), 3u);
  for (const Message& message : frontend_.messages) {
    EXPECT_EQ(message.text, "请设置恢复文件保存的路径!");
  }
  EXPECT_TRUE(frontend_.main_visible);
}

TEST_F(ScanDriverStartChecks, RefuseARangeThatDoesNotParseOrLeavesTheVolume) {
  Open(ImageBuilder(64));
  const uint64_t reads = counters_->reads;
  const std::vector<std::pair<std::string, std::string>> ranges = {
      {"abc", "10"}, {"0", "abc"}, {"0", "64"}, {"5", "4"}, {"-1", "10"}, {"", "10"}};
  for (const auto& [first, last] : ranges) {
    ScanRequest request = Request(0, 0);
    request.first_text = first;
    request.last_text = last;
    const ScanReport report = driver_.Start(request);
    EXPECT_FALSE(report.started) << first << ".." << last;
    EXPECT_EQ(report.refusal, TextId::kScanRangeInvalid);
  }
  ASSERT_EQ(frontend_.messages.size(), ranges.size());
  for (const Message& message : frontend_.messages) {
    EXPECT_EQ(message.caption, "错误");
    EXPECT_EQ(message.text, "扫描扇区范围无效!");
  }
  // Nothing was hidden, shown or read.
  EXPECT_EQ(WindowEvents(), std::vector<std::string>(ranges.size(), "message"));
  EXPECT_EQ(counters_->reads, reads);
}

using ScanDriverSearch = ScanDriverTest;

TEST_F(ScanDriverSearch, EqualFirstAndLastExamineExactlyOneSector) {
  ImageBuilder image(64);
  for (const int64_t sector : {4, 5, 6}) PlaceText(image, sector, kGif);
  Open(image);
  const ScanReport report = driver_.Start(Request(5, 5));
  ASSERT_TRUE(report.started);
  EXPECT_EQ(report.sectors_identified, 1u);
  EXPECT_EQ(Found(FileKind::Gif89a, report), 1u);
}

TEST_F(ScanDriverSearch, AKnownGridExaminesOnlyClusterStarts) {
  ImageBuilder image(64);
  for (int64_t sector = 0; sector < 64; ++sector) PlaceText(image, sector, kGif);
  Open(image);
  UseGrid(8, 2);
  ScanReport report = driver_.Start(Request(5, 63));
  EXPECT_EQ(report.sectors_identified, 7u);  // 10, 18, ..., 58
  EXPECT_EQ(Found(FileKind::Gif89a, report), 7u);
  EXPECT_EQ(frontend_.labels[0][1], "扇区: 58");

  UseGrid(1, 0);
  report = driver_.Start(Request(5, 63));
  EXPECT_EQ(report.sectors_identified, 59u);
}

TEST_F(ScanDriverSearch, SkipsAnUnreadableSectorSilentlyAndStillIdentifiesItsNeighbours) {
  // The image is larger than the read window, and the window that holds the
  // bad sector cannot be filled: its good sectors come from direct reads.
  ImageBuilder image(300);
  PlaceText(image, 3, kGif);
  PlaceText(image, 5, kGif);
  Open(image);
  unreadable_->insert(5);
  const ScanReport report = ScanAll();
  EXPECT_EQ(report.sectors_identified, 299u);
  EXPECT_EQ(Found(FileKind::Gif89a, report), 1u);
  ASSERT_EQ(frontend_.messages.size(), 1u);
  ExpectFinalMessage(0);
}

TEST_F(ScanDriverSearch, NeverShowsAHundredPercent) {
  ImageBuilder image(500);
  PlaceText(image, 499, kGif);
  Open(image);
  frontend_.record_labels = true;
  ScanAll();
  const std::vector<std::string> percents = LabelTexts(0, 2);
  ASSERT_FALSE(percents.empty());
  for (const std::string& text : percents) EXPECT_EQ(text.find("100.00%"), std::string::npos);
  EXPECT_EQ(percents.back(), "百分比: 99.80%");
  EXPECT_EQ(LabelTexts(0, 1).back(), "扇区: 499");
  EXPECT_EQ(LabelTexts(0, 4).back(), "源盘: img");
}

TEST_F(ScanDriverSearch, CancelStillSettlesAndRecoversWhatWasFound) {
  ImageBuilder image(256);
  image.Place(10, WordDocument());
  PlaceText(image, 100, kGif);
  PlaceText(image, 200, kGif);
  Open(image);
  frontend_.on_pump = [this](ScanState& state, int) {
    if (frontend_.window_open[0] && frontend_.labels[0][1] == "扇区: 100") {
      state.search_cancelled = true;
    }
  };
  const ScanReport report = ScanAll();

  EXPECT_TRUE(report.search_cancelled);
  EXPECT_EQ(Found(FileKind::CompoundFile, report), 1u);
  EXPECT_EQ(Found(FileKind::Gif89a, report), 1u);  // 200 was never reached
  EXPECT_EQ(report.recovered_count, 1);
  EXPECT_TRUE(Written("FILE_AAAAAAAK.DOC"));
  ExpectFinalMessage(1);
}

using ScanDriverRecovery = ScanDriverTest;

TEST_F(ScanDriverRecovery, AnEmptyScanStillOpensAndClosesTheRecoveryWindow) {
  Open(ImageBuilder(64));
  const ScanReport report = ScanAll();
  EXPECT_EQ(report.recovered_count, 0);
  EXPECT_EQ(WindowEvents(),
            (std::vector<std::string>{"hide-main", "show:0", "close:0", "show:1", "close:1",
                                      "message", "status", "show-main"}));
  EXPECT_EQ(frontend_.captions[1], "正在恢复文件");
  ExpectFinalMessage(0);
}

TEST_F(ScanDriverRecovery, RecoversFromTheLastCandidateToTheFirst) {
  ImageBuilder image(256);
  image.Place(10, WordDocument());
  image.Place(100, WordDocument());
  Open(image);
  const ScanReport report = ScanAll();
  ASSERT_EQ(report.files.size(), 2u);
  EXPECT_EQ(report.files[0].name, "FILE_AAAAAADW.DOC");
  EXPECT_EQ(report.files[1].name, "FILE_AAAAAAAK.DOC");
  ExpectFinalMessage(2);
}

TEST_F(ScanDriverRecovery, StopEndsTheScanBeforeTheNextCandidate) {
  ImageBuilder image(256);
  image.Place(10, WordDocument());
  image.Place(100, WordDocument());
  Open(image);
  frontend_.on_pump = [this](ScanState& state, int) {
    if (frontend_.window_open[1] && frontend_.labels[1][3] == "扇区: 100") {
      state.run_state = RunState::kStopped;
    }
  };
  const ScanReport report = ScanAll();

  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(report.recovered_count, 1);
  EXPECT_TRUE(Written("FILE_AAAAAADW.DOC"));
  EXPECT_FALSE(Written("FILE_AAAAAAAK.DOC"));
  ExpectFinalMessage(1);
}

TEST_F(ScanDriverRecovery, PauseProcessesNothingUntilReleased) {
  ImageBuilder image(256);
  image.Place(10, WordDocument());
  image.Place(100, WordDocument());
  Open(image);
  bool pause_pressed = false;
  int paused_pumps = 0;
  frontend_.on_pump = [&](ScanState& state, int) {
    if (!frontend_.window_open[1]) return;
    if (!pause_pressed) {
      pause_pressed = true;
      state.run_state = RunState::kPaused;
      return;
    }
    if (state.run_state != RunState::kPaused) return;
    EXPECT_TRUE(frontend_.files.empty());
    if (++paused_pumps == 5) state.run_state = RunState::kRunning;
  };
  const ScanReport report = ScanAll();

  EXPECT_EQ(paused_pumps, 5);
  EXPECT_FALSE(report.stopped);
  EXPECT_EQ(report.recovered_count, 2);
  ExpectFinalMessage(2);
}

TEST_F(ScanDriverRecovery, ADirectorySectorClaimsTheRestOfItsCluster) {
  // A document fragmented around a directory cluster: it can only be read
  // back whole if the directory claimed all of 16..23, not just sector 16.
  const std::vector<uint8_t> document = WordDocument(16);
  ImageBuilder image(128);
  const std::vector<std::pair<int64_t, int64_t>> gaps = {{16, 23}};
  image.PlaceFragmented(8, document, gaps);
  image.PlaceFatDirectory(16, std::vector<std::string>{"README  TXT"});
  image.FillNoise(17, 23, 7);
  Open(image);
  UseGrid(8, 0);
  const ScanReport report = ScanAll();

  EXPECT_EQ(Found(FileKind::FatDirectory, report), 1u);
  ASSERT_EQ(report.files.size(), 1u);
  const std::string saved = testing::ReadFile(folder_ / "FILE_AAAAAAAI.DOC");
  EXPECT_TRUE(saved == std::string(document.begin(), document.end()));
}

using ScanDriverSettling = ScanDriverTest;

TEST_F(ScanDriverSettling, ATieKeepsTheLowestResidueAndDropsTheOthers) {
  // Residue 0 holds 16 and 24, residue 1 holds 33 and the document at 41.
  ImageBuilder image(128);
  PlaceText(image, 16, kGif);
  PlaceText(image, 24, kGif);
  PlaceText(image, 33, kGif);
  image.Place(41, WordDocument());
  Open(image);
  UseGrid(8, -1);
  const ScanReport report = ScanAll();

  EXPECT_EQ(Found(FileKind::CompoundFile, report), 1u);
  EXPECT_EQ(report.cluster_origin, 0);
  EXPECT_EQ(report.recovered_count, 0);  // the document's candidate was dropped
  EXPECT_EQ(frontend_.captions[0], "正在整理列表");
}

TEST_F(ScanDriverSettling, TheBusiestResidueBecomesTheOrigin) {
  ImageBuilder image(128);
  PlaceText(image, 16, kGif);
  PlaceText(image, 33, kGif);
  image.Place(41, WordDocument());
  Open(image);
  UseGrid(8, -1);
  const ScanReport report = ScanAll();

  EXPECT_EQ(report.cluster_origin, 1);
  EXPECT_EQ(report.recovered_count, 1);
  EXPECT_TRUE(Written("FILE_AAAAAABP.DOC"));
}

TEST_F(ScanDriverSettling, UncertainKindsWeighLess) {
  // Three hits at residue 0 against two at residue 1: only their weights
  // let residue 1, and so the document, win.
  for (const bool packets : {false, true}) {
    ImageBuilder image(128);
    for (const int64_t sector : {8, 16, 24}) {
      if (packets) {
        PlaceTsPackets(image, sector);
      } else {
        PlaceText(image, sector, kJpegOther);
      }
    }
    PlaceText(image, 33, kGif);
    image.Place(41, WordDocument());
    Open(image);
    UseGrid(8, -1);
    const ScanReport report = ScanAll();

    const FileKind weak = packets ? FileKind::MpegTsPacket : FileKind::JpegOther;
    EXPECT_EQ(Found(weak, report), 3u) << packets;
    EXPECT_EQ(report.cluster_origin, 1) << packets;
    EXPECT_EQ(report.recovered_count, 1) << packets;
  }
}

uint64_t AllocationsOfScanning(int64_t sector_count, const std::string& folder) {
  SectorSource source;
  ScanState state;
  testimage::NullFrontend frontend;
  const UiTextTable texts(TextVariant::SimplifiedChinese);
  ScanDriver driver(source, frontend, state, texts, &DispatchFor);
  const std::vector<uint8_t> zeros(static_cast<size_t>(sector_count) * 512, 0);
  EXPECT_TRUE(source
                  .OpenHandle(std::make_unique<testimage::MemoryHandle>(zeros), SourceType::kImage,
                              "img", "img")
                  .ok);
  ScanRequest request;
  request.folder = folder;
  request.first_text = "0";
  request.last_text = std::to_string(sector_count - 1);

  const testing::AllocationCounter counter;
  const ScanReport report = driver.Start(request);
  const uint64_t allocations = counter.Count();
  EXPECT_EQ(report.sectors_identified, static_cast<uint64_t>(sector_count));
  return allocations;
}

TEST(ScanDriverAllocations, TheSearchAllocatesNothingPerSector) {
  const testing::TempDir folder;
  const uint64_t small = AllocationsOfScanning(1'000, folder.Path().string());
  const uint64_t large = AllocationsOfScanning(4'000, folder.Path().string());
  EXPECT_GT(small, 0u);  // the counter does see the scan's own set-up
  EXPECT_LE(large, small);
}

}  // namespace
}  // namespace officecarve
