// Whole scans of sources that fail the way real disks do: bad sectors in
// every kind of place, devices that deliver less than asked, a device pulled
// out mid-scan. Whatever is lost, nothing written may differ from the
// original, and the scan must end.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/carver_harness.h"

namespace officecarve {
namespace {

using testing::SampleDocument;
using testing::UnitsFor;

class HostileSource : public testing::CarverHarness {
 protected:
  // Three documents in noise, each 40 units after the previous one ends.
  void Build() {
    const std::vector<std::string> names = {"letter.doc", "minutes.docx", "budget.xls"};
    int64_t at = 0;
    std::vector<std::pair<int64_t, std::vector<uint8_t>>> placed;
    for (const std::string& name : names) {
      at += 40;
      placed.emplace_back(at, SampleDocument(name));
      at += UnitsFor(placed.back().second.size(), 512);
    }
    image_ = std::make_unique<testimage::ImageBuilder>(static_cast<uint64_t>(at + 40));
    image_->FillNoise(0, at + 39, 3);
    for (const auto& [start, bytes] : placed) {
      image_->Place(start, bytes);
      starts_.push_back(start);
      originals_.push_back(bytes);
    }
  }

  // The handle stays owned by the source; the pointer is for setting faults.
  testimage::MemoryHandle* OpenWithHandle() {
    auto handle = std::make_unique<testimage::MemoryHandle>(image_->Share());
    testimage::MemoryHandle* raw = handle.get();
    unreadable_ = handle->unreadable();
    EXPECT_TRUE(source_.OpenHandle(std::move(handle), SourceType::kImage, "img", "img").ok);
    const int64_t last = static_cast<int64_t>(image_->SectorCount()) - 1;
    source_.MutableWorking().bytes_per_sector = 512;
    source_.MutableWorking().last_sector = last;
    map_ = std::make_unique<ClaimedSectorMap>(last);
    env_ = std::make_unique<CarverEnv>(CarverEnv{source_, *map_, state_, frontend_, texts_});
    SetRangeLast(last);
    return raw;
  }

  // Every file the scan wrote is one of the originals, byte for byte.
  int CountIntactAndCheckNoneCorrupt() const {
    int intact = 0;
    for (const std::string& name : Written()) {
      const std::vector<uint8_t> bytes = WrittenBytes(name);
      bool matches = false;
      for (const auto& original : originals_) matches = matches || bytes == original;
      EXPECT_TRUE(matches) << name << " is not any original";
      intact += matches ? 1 : 0;
    }
    return intact;
  }

  std::unique_ptr<testimage::ImageBuilder> image_;
  std::vector<int64_t> starts_;
  std::vector<std::vector<uint8_t>> originals_;
};

TEST_F(HostileSource, BadSectorsAnywhereCostOnlyTheDocumentTheyHit) {
  Build();
  OpenWithHandle();
  const int64_t last = static_cast<int64_t>(image_->SectorCount()) - 1;
  unreadable_->insert(0);                // where a boot sector would be
  unreadable_->insert(starts_[0] - 20);  // noise inside the first read window
  unreadable_->insert(starts_[1] + 5);   // inside the second document
  unreadable_->insert(last);             // the very end of the source

  const ScanReport report = ScanAll();

  EXPECT_TRUE(report.started);
  EXPECT_EQ(CountIntactAndCheckNoneCorrupt(), 2);
  EXPECT_EQ(Written().size(), 2u);
}

TEST_F(HostileSource, ADeviceThatDeliversLittleAtATimeLosesNothing) {
  Build();
  testimage::MemoryHandle* handle = OpenWithHandle();
  handle->LimitReadBytes(100);

  ScanAll();

  EXPECT_EQ(CountIntactAndCheckNoneCorrupt(), 3);
}

TEST_F(HostileSource, ADevicePulledOutMidScanEndsTheScanWithoutACorruptFile) {
  Build();
  for (const uint64_t reads : {1u, 3u, 10u, 40u}) {
    SCOPED_TRACE(reads);
    state_ = ScanState{};
    testimage::MemoryHandle* handle = OpenWithHandle();
    handle->VanishAfterReads(reads);

    ScanAll();

    CountIntactAndCheckNoneCorrupt();
  }
}

}  // namespace
}  // namespace officecarve
