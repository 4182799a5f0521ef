#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"
#include "scan/identify.h"

namespace officecarve::testing {

// A real file from tests/data at one placement: shifted by some units, on a
// grid of clusters of some units starting at unit 0.
struct Placement {
  const char* file;
  int64_t shift;
  uint32_t cluster_units;
};

inline void PrintTo(const Placement& placement, std::ostream* out) {
  *out << placement.file << " at " << placement.shift << ", clusters of "
       << placement.cluster_units;
}

inline std::string PlacementName(const Placement& placement) {
  std::string name = placement.file;
  for (char& c : name) {
    if (c == '.') c = '_';
  }
  return name + "_at_" + std::to_string(placement.shift) + "_clusters_of_" +
         std::to_string(placement.cluster_units);
}

// Every file at the start and 27 units in, with single-unit clusters and
// with clusters of four.
inline std::vector<Placement> PlacementsOf(std::initializer_list<const char*> files) {
  std::vector<Placement> placements;
  for (const char* file : files) {
    for (const int64_t shift : kShifts) {
      for (const uint32_t cluster_units : {1u, 4u})
        placements.push_back({file, shift, cluster_units});
    }
  }
  return placements;
}

// The harness for the carvers that only claim: PDF and archives.
class ClaimOnlyCarverHarness : public OfficeCarverHarness {
 protected:
  // Carves the candidate at `unit` with the carver the scan would dispatch
  // to for the kind identification gives its first unit.
  void CarveAsIdentified(int64_t unit, std::span<const uint8_t> first_bytes) {
    const CarverFunction carver = DispatchFor(Identify(first_bytes)).carver;
    ASSERT_NE(carver, nullptr);
    Carve(carver, unit);
  }

  // What a completed file of `bytes` bytes from `start` claims: its units
  // through the last, then the rest of that unit's cluster.
  std::vector<int64_t> CompletedFileUnits(int64_t start, size_t bytes) const {
    const int64_t cluster_units = env_->sectors_per_cluster;
    int64_t end = start + UnitsFor(bytes, env_->bytes_per_sector);
    while ((end - state_.cluster_origin) % cluster_units != 0) ++end;
    return UnitRange(start, end - start);
  }

  // Lays `document` around `foreign` (which starts `first_units` units after
  // the document), scans the whole image and expects the document back byte
  // for byte; then carves the foreign file alone on a fresh map and expects
  // exactly its own units claimed.
  void ExpectDocumentRecoveredAround(const char* document_name, const char* extension,
                                     const char* foreign_name, int64_t start, int64_t first_units) {
    const std::vector<uint8_t> document = SampleDocument(document_name);
    const std::vector<uint8_t> foreign = SampleDocument(foreign_name);
    InterleavedImage layout = DocumentAroundForeignFile(document, foreign, start, first_units);
    Open(layout.image);

    ExpectOnlyRecovered(ScanAll(), NameAt(start, extension), document);

    CarveAsIdentified(layout.foreign_start, std::span(foreign).first(512));
    EXPECT_EQ(ClaimedUnits(), UnitRange(layout.foreign_start, layout.foreign_units));
  }
};

// A claim-only carver's real files at every placement.
class RealFiles : public ClaimOnlyCarverHarness, public ::testing::WithParamInterface<Placement> {
 protected:
  // Lays the file at its placement, with noise before and after, and carves
  // it as the scan would.
  std::vector<uint8_t> CarveAlone() {
    const Placement& placement = GetParam();
    const std::vector<uint8_t> file = SampleDocument(placement.file);
    Open(ImageWith(file, placement.shift, placement.shift + UnitsFor(file.size(), 512) + 9));
    SetClusters(placement.cluster_units);
    CarveAsIdentified(placement.shift, std::span(file).first(512));
    return file;
  }
};

}  // namespace officecarve::testing
