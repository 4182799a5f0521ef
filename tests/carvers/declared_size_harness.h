#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"

namespace officecarve::testing {

// Direct calls of a carver that claims a length its file's header declares,
// at both placements (offset 0 and 27 units in).
class DeclaredSizeCarver : public CarverHarness, public ::testing::WithParamInterface<int64_t> {
 protected:
  int64_t Shift() const { return GetParam(); }

  // Lays `file` at the shift in noise, with `spare` units of noise after it.
  void OpenWith(const std::vector<uint8_t>& file, int64_t spare = 9) {
    Open(ImageWith(file, Shift(), Shift() + UnitsFor(file.size(), 512) + spare));
  }

  // What a completed file of `units` units at the shift claims: its units and
  // the rest of the cluster its last unit lies in (grid from unit 0), but
  // nothing past the end of the image.
  std::vector<int64_t> ClaimOf(int64_t units, int64_t per_cluster = 1) const {
    int64_t end = Shift() + units;
    while (end % per_cluster != 0) ++end;
    end = std::min(end, map_->LastSector() + 1);
    return UnitRange(Shift(), end - Shift());
  }

  // The whole file is claimed, through its last unit and no further than
  // the rest of that cluster, with one unit per cluster and with four.
  void ExpectClaimedWhole(CarverFunction carver, const std::vector<uint8_t>& file) {
    for (const uint32_t per_cluster : {1u, 4u}) {
      SCOPED_TRACE("sectors per cluster " + std::to_string(per_cluster));
      OpenWith(file);
      SetClusters(per_cluster);
      Carve(carver, Shift());
      EXPECT_EQ(ClaimedUnits(), ClaimOf(UnitsFor(file.size(), 512), per_cluster));
    }
  }

  // A whole scan brings back the sample document laid in two fragments
  // around `file`, which it can only do when the file's units are claimed
  // exactly: one unit too few or too many and the document comes back wrong.
  void ExpectDocumentRecoveredAround(const std::string& document_name, std::string_view extension,
                                     const std::vector<uint8_t>& file) {
    const std::vector<uint8_t> document = SampleDocument(document_name);
    const InterleavedImage interleaved = DocumentAroundForeignFile(document, file, Shift(), 3);
    Open(interleaved.image);
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
      std::filesystem::remove(entry.path());
    }
    ExpectOnlyRecovered(ScanAll(), NameAt(Shift(), extension), document);
  }
};

}  // namespace officecarve::testing
