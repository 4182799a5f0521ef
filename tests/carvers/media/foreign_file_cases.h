#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/office_carver_harness.h"

namespace officecarve::testing {

// A real foreign file, and the real document a whole scan must bring back
// intact when it lies between the document's fragments.
struct ForeignSample {
  const char* file;
  const char* document;
};

inline void PrintTo(const ForeignSample& sample, std::ostream* out) { *out << sample.file; }

// The two tests every real sample passes: claimed alone through exactly its
// last unit (and the rest of that cluster) at every geometry, and bounded
// exactly enough between a document's fragments on FAT32 for the document
// to come back byte for byte.
class ForeignSampleCases : public SampleCases<ForeignSample> {
 protected:
  void ExpectBoundExactly(CarverFunction carver) {
    ExpectClaimedToItsLastUnitAtEveryGeometry(carver, SampleDocument(TheSample().file), Shift());
    ExpectDocumentAroundOnFat32(TheSample().document, SampleDocument(TheSample().file));
  }
};

// A real file spoiled in one way: a field changed, or the scan range ending
// `units_cut` units before the file does.
struct SpoiledFile {
  const char* what;
  const char* file;
  std::function<void(std::vector<uint8_t>&)> spoil;
  int64_t units_cut = 0;
};

// Direct carves of spoiled files at both placements.
class SpoiledFileCases : public OfficeCarverHarness, public ::testing::WithParamInterface<int64_t> {
 protected:
  int64_t Shift() const { return GetParam(); }

  // Each spoiled file, laid alone in noise, leaves no trace.
  void ExpectEachClaimsNothing(CarverFunction carver, const std::vector<SpoiledFile>& cases) {
    for (const SpoiledFile& spoiled : cases) {
      SCOPED_TRACE(spoiled.what);
      std::vector<uint8_t> file = SampleDocument(spoiled.file);
      if (spoiled.spoil) spoiled.spoil(file);
      const int64_t units = UnitsFor(file.size(), 512);
      Open(ImageWith(file, Shift(), Shift() + units + 9));
      if (spoiled.units_cut > 0) SetRangeLast(Shift() + units - 1 - spoiled.units_cut);

      Carve(carver, Shift());

      ExpectNoTrace();
    }
  }
};

}  // namespace officecarve::testing
