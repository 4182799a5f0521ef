// What a scan reports beyond the files it wrote: the byte runs of each
// document, the files that were only claimed, the damaged count on the final
// message, and progress in bytes for the rate and time left.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "carvers/dispatch.h"
#include "platform/temp_dir.h"
#include "scan/scan_driver.h"
#include "support/recording_frontend.h"
#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"
#include "verdict/sample_layout.h"

namespace officecarve {
namespace {

constexpr uint64_t kSectors = 2048;

std::vector<uint8_t> Sample(const std::string& name) {
  return testimage::ReadFileBytes(std::string(OFFICECARVE_TEST_DATA) + "/" + name);
}

TEST(ScanDriverReports, RunsClaimedFilesDamageAndProgressInBytes) {
  // A .docx split around a picture at 100, a damaged .docx at 600, a .doc at 900.
  const std::vector<uint8_t> picture = Sample("plain.png");
  const int64_t picture_end = 130 + static_cast<int64_t>((picture.size() + 511) / 512);
  testimage::ImageBuilder image(kSectors);
  image.FillNoise(1, kSectors - 1, 7);
  image.Place(130, picture);
  const std::pair<int64_t, int64_t> gap{130, picture_end - 1};
  image.PlaceFragmented(100, Sample("minutes.docx"), std::span(&gap, 1));
  std::vector<uint8_t> damaged = Sample("minutes.docx");
  testing::OverwriteWithNoise(damaged, testing::LargestZipEntry(damaged).data_offset + 1024, 512,
                              5);
  image.Place(600, damaged);
  image.Place(900, Sample("letter.doc"));

  SectorSource source;
  ASSERT_TRUE(source
                  .OpenHandle(std::make_unique<testimage::MemoryHandle>(image.Share()),
                              SourceType::kImage, "img", "img")
                  .ok);
  ScanState state;
  testing::RecordingFrontend frontend(state);
  const UiTextTable texts(TextVariant::SimplifiedChinese);
  testing::TempDir folder;
  ScanRequest request;
  request.folder = folder.Path().string();
  request.first_text = "0";
  request.last_text = std::to_string(kSectors - 1);
  request.log_claimed_files = true;
  const ScanReport report = ScanDriver(source, frontend, state, texts, &DispatchFor).Start(request);

  ASSERT_EQ(report.files.size(), 3u);
  const auto split = std::find_if(report.files.begin(), report.files.end(),
                                  [](const auto& file) { return file.start_sector == 100; });
  ASSERT_NE(split, report.files.end());
  EXPECT_EQ(split->byte_runs,
            (std::vector<ByteRun>{{0, 100 * 512, 30 * 512},
                                  {30 * 512, picture_end * 512, 40956 - 30 * 512}}));
  // The picture is logged as claimed; the documents are not, being reported
  // as what they were written as.
  ASSERT_EQ(report.claimed.Files().size(), 1u);
  const ClaimedFile& claimed = report.claimed.Files().front();
  EXPECT_EQ(claimed.kind, FileKind::Png);
  EXPECT_EQ(claimed.byte_runs,
            (std::vector<ByteRun>{{0, 130 * 512, static_cast<uint64_t>(picture_end - 130) * 512}}));

  ASSERT_FALSE(frontend.messages.empty());
  EXPECT_EQ(frontend.messages.back().text, "成功恢复文件 3");
  EXPECT_EQ(frontend.messages.back().detail, "其中已损坏: 1");

  // The search counts up to the last sector it examined, the recovery to the
  // whole range; neither goes back.
  std::vector<testing::RecordingFrontend::Progress> search;
  std::vector<testing::RecordingFrontend::Progress> recovery;
  for (const auto& step : frontend.progress) (step.window == 0 ? search : recovery).push_back(step);
  ASSERT_FALSE(search.empty());
  ASSERT_FALSE(recovery.empty());
  for (const auto* steps : {&search, &recovery}) {
    EXPECT_TRUE(std::is_sorted(steps->begin(), steps->end(),
                               [](const auto& a, const auto& b) { return a.done < b.done; }));
    for (const auto& step : *steps) EXPECT_EQ(step.total, kSectors * 512);
  }
  EXPECT_LT(search.back().done, kSectors * 512);
  EXPECT_EQ(search.back().found, 3u);
  EXPECT_EQ(recovery.back().done, kSectors * 512);
  EXPECT_EQ(recovery.back().found, 3u);
}

}  // namespace
}  // namespace officecarve
