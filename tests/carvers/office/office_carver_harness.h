#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "carvers/carver_harness.h"

namespace officecarve::testing {

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

// The carver harness with the two document carvers at hand.
class OfficeCarverHarness : public CarverHarness {
 protected:
  void CarveCompound(int64_t unit) { Carve(&CarveCompoundFile, unit); }
  void CarveZipped(int64_t unit) { Carve(&CarveZippedXml, unit); }
  void CarveOpenDocumentAt(int64_t unit) { Carve(&CarveOpenDocument, unit); }
};

// A real document and what it must come back as.
struct DocumentSample {
  const char* file;
  const char* extension;
  uint32_t family = kAllFamilies;  // its switch
};

inline void PrintTo(const DocumentSample& sample, std::ostream* out) { *out << sample.file; }

// Names a sample case after its file and shift: "minutes_docx_at_27".
struct SampleCaseName {
  template <typename Info>
  std::string operator()(const Info& info) const {
    std::string name = std::get<0>(info.param).file;
    for (char& c : name) {
      if (c == '.' || c == '-') c = '_';
    }
    return name + "_at_" + std::to_string(std::get<1>(info.param));
  }
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
