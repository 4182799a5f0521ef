#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/media/foreign_file_cases.h"

namespace officecarve {
namespace {

using testing::ForeignSample;

constexpr ForeignSample kDatabases[] = {
    {"records.db", "handbook.docx"},  // 13 pages of 4096 bytes: two tables and an index
    {"notes.db", "letter.doc"},       // 18 pages of 1024 bytes
};

using RealDatabases = testing::ForeignSampleCases;

TEST_P(RealDatabases, AreBoundedExactly) { ExpectBoundExactly(&CarveSqlite); }

INSTANTIATE_TEST_SUITE_P(RealFiles, RealDatabases,
                         ::testing::Combine(::testing::ValuesIn(kDatabases),
                                            ::testing::ValuesIn(testing::kShifts)),
                         testing::SampleCaseName());

// Sets the big-endian field of `bytes` bytes at `at`.
auto SetBigEndian(size_t at, size_t bytes, uint32_t value) {
  return [=](std::vector<uint8_t>& file) {
    for (size_t i = 0; i < bytes; ++i)
      file.at(at + i) = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
  };
}

using SpoiledDatabases = testing::SpoiledFileCases;

// records.db: page size at 16, payload fractions from 21, change counter
// (5) at 24, page count at 28, the counter's copy at 92.
TEST_P(SpoiledDatabases, ClaimNothing) {
  ExpectEachClaimsNothing(
      &CarveSqlite,
      {
          {"the range ends before the last page", "records.db", nullptr, 1},
          {"a page count the last writer did not vouch for", "records.db", SetBigEndian(92, 4, 4)},
          {"no pages", "records.db", SetBigEndian(28, 4, 0)},
          {"a page size that is no power of two", "records.db", SetBigEndian(16, 2, 3072)},
          {"pages of 256 bytes", "records.db", SetBigEndian(16, 2, 256)},
          {"a payload fraction other than 64", "records.db", SetBigEndian(21, 1, 65)},
          {"a read version of 3", "notes.db", SetBigEndian(19, 1, 3)},
      });
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, SpoiledDatabases,
                         ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
