#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/carver_harness.h"
#include "scan/file_kind.h"
#include "scan/start_sector_code.h"

namespace officecarve::testing {

// Every movie case runs with the file at the start of the image and 27 units
// in, and with cluster sizes a volume may have; the file always starts a
// cluster.
inline constexpr int64_t kMovieShifts[] = {0, 27};
inline constexpr uint32_t kMovieClusters[] = {1, 4, 8};

// Direct calls of one carver on a file laid in noise.
class MovieCarverTest : public CarverHarness,
                        public ::testing::WithParamInterface<std::tuple<int64_t, uint32_t>> {
 protected:
  int64_t Shift() const { return std::get<0>(GetParam()); }
  uint32_t Cluster() const { return std::get<1>(GetParam()); }

  // Opens noise with `file` at the shift and `after` units of noise behind
  // it, clusters of Cluster() units starting at the file.
  void OpenWith(const std::vector<uint8_t>& file, int64_t after = 9) {
    Open(ImageWith(file, Shift(), Shift() + UnitsFor(file.size(), 512) + after));
    SetClusters(Cluster(), Shift() % Cluster());
  }

  // What a completed file of `file_bytes` bytes claims: its units through the
  // last one and the rest of that cluster.
  std::vector<int64_t> FileUnits(uint64_t file_bytes) const {
    const int64_t units = UnitsFor(file_bytes, 512);
    return UnitRange(Shift(), (units + Cluster() - 1) / Cluster() * Cluster());
  }
};

inline std::string MovieCaseName(
    const ::testing::TestParamInfo<std::tuple<int64_t, uint32_t>>& info) {
  return "at_" + std::to_string(std::get<0>(info.param)) + "_cluster_" +
         std::to_string(std::get<1>(info.param));
}

// Whole scans of a document whose fragments lie around a movie.
class MovieScanTest : public CarverHarness, public ::testing::WithParamInterface<int64_t> {
 protected:
  // The movie must be found as `kind` (`found` times: packets inside a stream
  // may start a sector too) and claimed exactly, so the document split
  // around it comes back byte for byte.
  void ExpectDocumentRecoveredAround(const std::string& document_name, const std::string& extension,
                                     const std::vector<uint8_t>& movie, FileKind kind,
                                     uint64_t found = 1) {
    const std::vector<uint8_t> document = SampleDocument(document_name);
    const int64_t start = GetParam();
    Open(DocumentAroundForeignFile(document, movie, start, 5).image);

    const ScanReport report = ScanAll();

    EXPECT_EQ(report.found_by_kind[static_cast<uint8_t>(kind)], found);
    ExpectOnlyRecovered(report, RecoveredFileName(start * 512, extension), document);
  }
};

// Writes `value` big-endian into `bytes` at `at`.
inline void PutBe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

inline uint32_t GetBe32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at]) << 24 | static_cast<uint32_t>(bytes[at + 1]) << 16 |
         static_cast<uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
}

}  // namespace officecarve::testing
