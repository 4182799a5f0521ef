#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/scan_state.h"
#include "carvers/carvers.h"
#include "platform/temp_dir.h"
#include "scan/carver_frame.h"
#include "scan/claimed_sector_map.h"
#include "scan/scan_driver.h"
#include "source/sector_source.h"
#include "support/recording_frontend.h"
#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"
#include "text/ui_text_table.h"

namespace officecarve::testing {

// A sample document from tests/data.
inline std::vector<uint8_t> SampleDocument(const std::string& name) {
  return testimage::ReadFileBytes(std::string(OFFICECARVE_TEST_DATA) + "/" + name);
}

inline int64_t UnitsFor(size_t bytes, uint32_t unit_bytes) {
  return static_cast<int64_t>((bytes + unit_bytes - 1) / unit_bytes);
}

// An image of `sector_count` units of noise with `document` laid contiguously
// from `start`.
inline testimage::ImageBuilder ImageWith(const std::vector<uint8_t>& document, int64_t start,
                                         int64_t sector_count, uint32_t unit_bytes = 512) {
  testimage::ImageBuilder image(static_cast<uint64_t>(sector_count), unit_bytes);
  image.FillNoise(0, sector_count - 1, 11);
  image.Place(start, document);
  return image;
}

// An image of noise with `document` laid from `start` in fragments around the
// given unit ranges, which hold FAT directory sectors: the scan claims them
// first, so the carver must step over them.
inline testimage::ImageBuilder ImageFragmentedAroundDirectories(
    const std::vector<uint8_t>& document, int64_t start,
    const std::vector<std::pair<int64_t, int64_t>>& gaps) {
  int64_t gap_units = 0;
  for (const auto& [first, last] : gaps) gap_units += last - first + 1;
  testimage::ImageBuilder image(
      static_cast<uint64_t>(start + UnitsFor(document.size(), 512) + gap_units + 9));
  image.FillNoise(0, static_cast<int64_t>(image.SectorCount()) - 1, 5);
  image.PlaceFragmented(start, document, gaps);
  for (const auto& [first, last] : gaps) {
    for (int64_t sector = first; sector <= last; ++sector) {
      image.PlaceFatDirectory(sector, std::vector<std::string>{"README  TXT"});
    }
  }
  return image;
}

// A recording front end that also lets a test act while a message box is up,
// as a user who frees the destination before pressing Retry.
class MessageHookFrontend : public RecordingFrontend {
 public:
  using RecordingFrontend::RecordingFrontend;
  MessageAnswer ShowMessage(const Message& message) override {
    if (on_message) on_message(message);
    return RecordingFrontend::ShowMessage(message);
  }
  std::function<void(const Message&)> on_message;
};

// Everything one office carver call or one whole scan needs: a source over an
// image in memory, an empty map, an output folder and a recording front end.
class OfficeCarverHarness : public ::testing::Test {
 protected:
  void Open(const testimage::ImageBuilder& image) { Open(image.Share(), image.BytesPerSector()); }

  void Open(std::shared_ptr<const std::vector<uint8_t>> bytes, uint32_t unit_bytes) {
    const int64_t last = static_cast<int64_t>(bytes->size() / unit_bytes) - 1;
    auto handle = std::make_unique<testimage::MemoryHandle>(std::move(bytes), unit_bytes);
    unreadable_ = handle->unreadable();
    ASSERT_TRUE(source_.OpenHandle(std::move(handle), SourceType::kImage, "img", "img").ok);
    // An image has no device sector size; the tests choose the unit.
    source_.MutableWorking().bytes_per_sector = unit_bytes;
    source_.MutableWorking().last_sector = last;
    map_ = std::make_unique<ClaimedSectorMap>(last);
    env_ = std::make_unique<CarverEnv>(CarverEnv{source_, *map_, state_, frontend_, texts_});
    env_->bytes_per_sector = unit_bytes;
    SetRangeLast(last);
  }

  void SetRangeLast(int64_t last) {
    source_.SetRange({0, last});
    env_->range_last = last;
  }

  std::string Folder() const { return folder_.Path().string() + "/"; }

  void CarveCompound(int64_t unit) {
    CarveCompoundFile(*env_, Folder(), unit * env_->bytes_per_sector);
  }
  void CarveZipped(int64_t unit) { CarveZippedXml(*env_, Folder(), unit * env_->bytes_per_sector); }

  std::vector<int64_t> ClaimedUnits() const {
    std::vector<int64_t> claimed;
    for (int64_t unit = 0; unit <= map_->LastSector(); ++unit) {
      if (map_->IsClaimed(unit)) claimed.push_back(unit);
    }
    return claimed;
  }

  static std::vector<int64_t> UnitRange(int64_t first, int64_t count) {
    std::vector<int64_t> units;
    for (int64_t unit = first; unit < first + count; ++unit) units.push_back(unit);
    return units;
  }

  // Names of everything in the output folder, sorted.
  std::vector<std::string> Written() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<uint8_t> WrittenBytes(const std::string& name) const {
    return testimage::ReadFileBytes(folder_ / name);
  }

  // A failed carve leaves no trace: nothing written, nothing counted, every
  // unit it claimed released again.
  void ExpectNoTrace() const {
    EXPECT_TRUE(Written().empty());
    EXPECT_EQ(state_.recovered_count, 0);
    EXPECT_TRUE(ClaimedUnits().empty());
    EXPECT_TRUE(frontend_.messages.empty());
  }

  // The scan wrote exactly this one document, byte for byte.
  void ExpectOnlyRecovered(const ScanReport& report, const std::string& name,
                           const std::vector<uint8_t>& document) const {
    EXPECT_EQ(report.recovered_count, 1);
    ASSERT_EQ(Written(), std::vector<std::string>{name});
    EXPECT_EQ(WrittenBytes(name), document);
  }

  // A whole scan of the opened image, every family on.
  ScanReport ScanAll() {
    ScanRequest request;
    request.folder = folder_.Path().string();
    request.first_text = "0";
    request.last_text = std::to_string(source_.Working().last_sector);
    ScanDriver driver(source_, frontend_, state_, texts_);
    return driver.Start(request);
  }

  TempDir folder_;
  SectorSource source_;
  ScanState state_;
  MessageHookFrontend frontend_{state_};
  UiTextTable texts_{TextVariant::SimplifiedChinese};
  std::unique_ptr<ClaimedSectorMap> map_;
  std::unique_ptr<CarverEnv> env_;
  // Units of the open image that cannot be read.
  std::shared_ptr<std::set<int64_t>> unreadable_;
};

// Real sample documents, each laid at both placements below.
template <typename Sample>
class SampleCases : public OfficeCarverHarness,
                    public ::testing::WithParamInterface<std::tuple<Sample, int64_t>> {
 protected:
  const Sample& TheSample() const { return std::get<0>(this->GetParam()); }
  int64_t Shift() const { return std::get<1>(this->GetParam()); }
};

// The two placements every carver case runs at: the very start of the image,
// and 27 units in (an odd shift, and the start whose name ends in "BB").
inline constexpr int64_t kShifts[] = {0, 27};

inline std::string NameAt(int64_t shift, std::string_view extension) {
  return std::string(shift == 0 ? "FILE_AAAAAAAA" : "FILE_AAAAAABB") + std::string(extension);
}

}  // namespace officecarve::testing
