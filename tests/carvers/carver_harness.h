#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/carvers.h"
#include "carvers/dispatch.h"
#include "core/scan_state.h"
#include "platform/temp_dir.h"
#include "scan/carver_frame.h"
#include "scan/claimed_sector_map.h"
#include "scan/scan_driver.h"
#include "scan/start_sector_code.h"
#include "source/sector_source.h"
#include "support/recording_frontend.h"
#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"
#include "testimage/scan_case.h"
#include "text/ui_text_table.h"
#include "verdict/verdict.h"

namespace officecarve::testing {

// A sample document from tests/data.
inline std::vector<uint8_t> SampleDocument(const std::string& name) {
  return testimage::ReadFileBytes(std::string(OFFICECARVE_TEST_DATA) + "/" + name);
}

inline int64_t UnitsFor(size_t bytes, uint32_t unit_bytes) {
  return static_cast<int64_t>((bytes + unit_bytes - 1) / unit_bytes);
}

// What a sample document is written as: its own extension in capitals.
inline std::string RecoveredExtension(const std::string& document_name) {
  std::string extension = std::filesystem::path(document_name).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return extension;
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

// An image of noise holding `document` from `start`, split around a foreign
// file that lies whole after its first `first_units` units: the scan must
// claim the foreign file exactly for the document to come back intact.
struct InterleavedImage {
  testimage::ImageBuilder image;
  int64_t foreign_start;
  int64_t foreign_units;
};

inline InterleavedImage DocumentAroundForeignFile(const std::vector<uint8_t>& document,
                                                  const std::vector<uint8_t>& foreign,
                                                  int64_t start, int64_t first_units,
                                                  uint32_t unit_bytes = 512) {
  const int64_t foreign_units = UnitsFor(foreign.size(), unit_bytes);
  const int64_t foreign_start = start + first_units;
  const int64_t sectors = start + UnitsFor(document.size(), unit_bytes) + foreign_units + 9;
  testimage::ImageBuilder image(static_cast<uint64_t>(sectors), unit_bytes);
  image.FillNoise(0, sectors - 1, 7);
  const std::pair<int64_t, int64_t> gap{foreign_start, foreign_start + foreign_units - 1};
  image.PlaceFragmented(start, document, std::span(&gap, 1));
  image.Place(foreign_start, foreign);
  return {std::move(image), foreign_start, foreign_units};
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

// Everything one carver call or one whole scan needs: a source over an
// image in memory, an empty map, an output folder and a recording front end.
class CarverHarness : public ::testing::Test {
 protected:
  void Open(const testimage::ImageBuilder& image) { Open(image.Share(), image.BytesPerSector()); }

  void Open(std::shared_ptr<const std::vector<uint8_t>> bytes, uint32_t unit_bytes) {
    const int64_t last = static_cast<int64_t>(bytes->size() / unit_bytes) - 1;
    image_ = bytes;
    auto handle = std::make_unique<testimage::MemoryHandle>(std::move(bytes), unit_bytes);
    unreadable_ = handle->unreadable();
    read_counters_ = handle->counters();
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

  std::string Folder() const { return (folder_.Path() / "").string(); }

  // Calls one carver for the candidate at `unit`, as the scan driver would.
  void Carve(CarverFunction carver, int64_t unit) {
    testimage::ScanCase recorded;
    const bool capture = StartCapture(recorded);
    if (capture) {
      recorded.kind = KindCarvedBy(carver);
      recorded.unit = unit;
      recorded.claimed_before = map_->ClaimedRuns();
    }
    const auto before =
        capture ? testimage::FolderContents(Folder()) : decltype(recorded.written){};
    carver(*env_, Folder(), unit * env_->bytes_per_sector);
    if (!capture) return;
    recorded.claimed_after = map_->ClaimedRuns();
    for (const auto& [name, content] : testimage::FolderContents(Folder())) {
      const auto earlier = before.find(name);
      if (earlier == before.end() || earlier->second != content) recorded.written[name] = content;
    }
    FinishCapture(recorded);
  }

  // Clusters of `sectors` units whose grid starts at `origin`, so a completed
  // file also claims the rest of its last cluster.
  void SetClusters(uint32_t sectors, int64_t origin = 0) {
    env_->sectors_per_cluster = sectors;
    state_.cluster_origin = origin;
  }

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

  // A real foreign file laid alone at `shift` is claimed through exactly its
  // last unit and the rest of that cluster, with 512- and 4096-byte units
  // and clusters of 1 and 4.
  void ExpectClaimedToItsLastUnitAtEveryGeometry(CarverFunction carver,
                                                 const std::vector<uint8_t>& file, int64_t shift) {
    for (const uint32_t unit_bytes : {512u, 4096u}) {
      for (const uint32_t cluster : {1u, 4u}) {
        SCOPED_TRACE(std::to_string(unit_bytes) + "-byte units, clusters of " +
                     std::to_string(cluster));
        const int64_t units = UnitsFor(file.size(), unit_bytes);
        Open(ImageWith(file, shift, shift + units + 9, unit_bytes));
        SetClusters(cluster, shift % cluster);

        Carve(carver, shift);

        const int64_t to_cluster_end = (units + cluster - 1) / cluster * cluster;
        EXPECT_EQ(ClaimedUnits(), UnitRange(shift, to_cluster_end));
      }
    }
  }

  // A sample document split around a whole foreign sample comes back from a
  // whole scan byte for byte.
  void ExpectDocumentAroundComesBackWhole(const std::string& document_name,
                                          const std::string& foreign_name, int64_t shift) {
    const std::vector<uint8_t> document = SampleDocument(document_name);
    Open(DocumentAroundForeignFile(document, SampleDocument(foreign_name), shift, 3).image);
    ExpectOnlyRecovered(
        ScanAll(), RecoveredFileName(shift * 512, RecoveredExtension(document_name)), document);
  }

  // A real document split around a real foreign file on a FAT32 volume of
  // 4 KiB clusters: the document's first `first_clusters` clusters, the
  // foreign file from the next cluster start (its last cluster's slack left
  // as noise, as on a used disk), then the rest of the document. The scan
  // must bound the foreign file to the end of its last cluster for the
  // document to come back byte for byte and intact.
  void ExpectDocumentAroundOnFat32(const std::string& document_name,
                                   const std::vector<uint8_t>& foreign,
                                   int64_t first_clusters = 2) {
    ExpectDocumentAroundOnFat32(SampleDocument(document_name), RecoveredExtension(document_name),
                                foreign, first_clusters);
  }

  void ExpectDocumentAroundOnFat32(const std::vector<uint8_t>& document,
                                   const std::string& extension,
                                   const std::vector<uint8_t>& foreign,
                                   int64_t first_clusters = 2) {
    constexpr int64_t kCluster = 8;
    testimage::FatBootParams boot;
    boot.sectors_per_cluster = kCluster;
    boot.reserved_sectors = 35;  // clusters start off the 4 KiB grid of the image
    boot.fat_size = 64;
    boot.root_entries = 0;
    const auto data_start = static_cast<int64_t>(testimage::ImageBuilder::FatFirstDataSector(boot));
    const int64_t document_start = data_start + 3 * kCluster;
    const int64_t foreign_start = document_start + first_clusters * kCluster;
    const int64_t foreign_clusters = (UnitsFor(foreign.size(), 512) + kCluster - 1) / kCluster;
    const std::pair<int64_t, int64_t> gap{foreign_start,
                                          foreign_start + foreign_clusters * kCluster - 1};
    const int64_t sectors = gap.second + UnitsFor(document.size(), 512) + 4 * kCluster;
    testimage::ImageBuilder image(static_cast<uint64_t>(sectors));
    image.FillNoise(1, sectors - 1, 5);
    image.WriteFat32Boot(boot);
    image.PlaceFragmented(document_start, document, std::span(&gap, 1));
    image.Place(foreign_start, foreign);
    Open(image);

    const ScanReport report = ScanAll();
    ExpectOnlyRecovered(report, RecoveredFileName(document_start * 512, extension), document);
    ASSERT_EQ(report.files.size(), 1u);
    EXPECT_EQ(report.files[0].verdict.state, VerdictState::kIntact)
        << report.files[0].verdict.problem;
  }

  // Empties the output folder, for a test that runs several scans.
  void ClearFolder() const {
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
      std::filesystem::remove_all(entry.path());
    }
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
    testimage::ScanCase recorded;
    const bool capture = StartCapture(recorded) && Written().empty();
    request.report_claims = capture;
    ScanDriver driver(source_, frontend_, state_, texts_, &DispatchFor);
    ScanReport report = driver.Start(request);
    if (capture) {
      recorded.whole_scan = true;
      recorded.first_text = request.first_text;
      recorded.last_text = request.last_text;
      recorded.check_verdicts = request.check_verdicts;
      recorded.family_mask = request.family_mask;
      recorded.claimed_after = report.claimed_runs;
      recorded.written = testimage::FolderContents(Folder());
      FinishCapture(recorded);
    }
    return report;
  }

  // With OFFICECARVE_CAPTURE_DIR set, every carver call and scan of a test is
  // recorded with its image, so another build can replay it and be compared
  // (tools/replay). Calls that showed a message (a failed save) are left out.
  bool StartCapture(testimage::ScanCase& recorded) const {
    if (testimage::CaptureDirectory().empty() || !image_ || image_->size() > kMaxCapturedBytes ||
        !frontend_.messages.empty()) {
      return false;
    }
    const VolumeGeometry& geometry = source_.Working();
    recorded.bytes_per_sector = env_->bytes_per_sector;
    recorded.sectors_per_cluster = env_->sectors_per_cluster;
    recorded.cluster_origin = state_.cluster_origin;
    recorded.range_last = env_->range_last;
    recorded.family_mask = env_->family_mask;
    recorded.last_sector = geometry.last_sector;
    recorded.cluster_phase = geometry.cluster_phase;
    recorded.file_system = static_cast<int>(geometry.kind);
    recorded.unreadable.assign(unreadable_->begin(), unreadable_->end());
    recorded.image = *image_;
    return true;
  }

  void FinishCapture(testimage::ScanCase& recorded) const {
    if (!frontend_.messages.empty()) return;
    recorded.recovered_count = state_.recovered_count;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    static int serial = 0;
    testimage::WriteScanCase(recorded, testimage::CaptureDirectory() + "/" + name + "." +
                                           std::to_string(++serial) + ".case");
  }

  static int KindCarvedBy(CarverFunction carver) {
    for (int kind = 0; kind < 256; ++kind) {
      if (DispatchFor(static_cast<FileKind>(kind)).carver == carver) return kind;
    }
    return -1;
  }

  static constexpr size_t kMaxCapturedBytes = 8u << 20;

  TempDir folder_;
  SectorSource source_;
  ScanState state_;
  MessageHookFrontend frontend_{state_};
  UiTextTable texts_{TextVariant::SimplifiedChinese};
  std::unique_ptr<ClaimedSectorMap> map_;
  std::unique_ptr<CarverEnv> env_;
  std::shared_ptr<const std::vector<uint8_t>> image_;
  // Units of the open image that cannot be read.
  std::shared_ptr<std::set<int64_t>> unreadable_;
  // What the source read from the open image.
  std::shared_ptr<testimage::MemoryHandle::Counters> read_counters_;
};

}  // namespace officecarve::testing
