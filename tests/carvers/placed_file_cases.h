#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/carver_harness.h"
#include "carvers/office/office_carver_harness.h"

namespace officecarve::testing {

inline void AppendLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void PokeLe(std::vector<uint8_t>& out, size_t at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A foreign file laid alone in noise at each shift, with clusters of 1 or 4
// units whose grid starts at the file.
class PlacedFileCases : public CarverHarness,
                        public ::testing::WithParamInterface<std::tuple<int64_t, uint32_t>> {
 protected:
  int64_t Shift() const { return std::get<0>(GetParam()); }
  uint32_t Cluster() const { return std::get<1>(GetParam()); }

  void Place(const std::vector<uint8_t>& file, int64_t spare_units = 9) {
    Open(ImageWith(file, Shift(), Shift() + UnitsFor(file.size(), 512) + spare_units));
    SetClusters(Cluster(), Shift() % Cluster());
  }

  void CarveAlone(CarverFunction carver, const std::vector<uint8_t>& file) {
    Place(file);
    Carve(carver, Shift());
  }

  // What a completed file of `bytes` claims: its units through the last,
  // and the rest of that cluster.
  std::vector<int64_t> Claimed(size_t bytes) const {
    const int64_t units = UnitsFor(bytes, 512);
    return UnitRange(Shift(), (units + Cluster() - 1) / Cluster() * Cluster());
  }
};

inline auto PlacedFileValues() {
  return ::testing::Combine(::testing::ValuesIn(kShifts), ::testing::Values(1u, 4u));
}

inline std::string PlacedFileName(
    const ::testing::TestParamInfo<std::tuple<int64_t, uint32_t>>& info) {
  return "at_" + std::to_string(std::get<0>(info.param)) + "_cluster_" +
         std::to_string(std::get<1>(info.param));
}

}  // namespace officecarve::testing
