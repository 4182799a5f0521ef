#include "scan/failed_chains.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace officecarve {
namespace {

// Records come and go by kind and offset alike; lookups below every record
// answer without the table, so what lies below must still be told apart
// from what was remembered there, before and after the table is cleared.
TEST(FailedChains, HoldsExactlyWhatWasRememberedSinceTheLastForget) {
  FailedChains chains;
  EXPECT_FALSE(chains.Holds(FileKind::Zip, 0));
  chains.Remember(FileKind::Zip, 9000);
  chains.Remember(FileKind::Zip, 4096);
  chains.Remember(FileKind::Png, 6000);
  chains.Remember(FileKind::Zip, -1);
  for (const auto& [kind, offset, held] : {std::tuple{FileKind::Zip, int64_t{4096}, true},
                                           {FileKind::Zip, 9000, true},
                                           {FileKind::Png, 6000, true},
                                           {FileKind::Zip, 6000, false},
                                           {FileKind::Png, 4096, false},
                                           {FileKind::Zip, 4095, false},
                                           {FileKind::Zip, -1, false}}) {
    EXPECT_EQ(chains.Holds(kind, offset), held) << offset;
  }
  chains.Forget();
  EXPECT_FALSE(chains.Holds(FileKind::Zip, 9000));
  chains.Remember(FileKind::Zip, 20000);
  EXPECT_FALSE(chains.Holds(FileKind::Zip, 4096));
  EXPECT_TRUE(chains.Holds(FileKind::Zip, 20000));

  // Past the cap the table starts afresh, and what is remembered then holds.
  const auto most = static_cast<int64_t>(FailedChains::kMostRecords);
  for (int64_t offset = 0; offset < 2 * most; ++offset) {
    chains.Remember(FileKind::Zip, 1'000'000 - offset);
  }
  EXPECT_TRUE(chains.Holds(FileKind::Zip, 1'000'000 - (2 * most - 1)));
  EXPECT_FALSE(chains.Holds(FileKind::Zip, 1'000'000));
}

// Chains of every shape a carver hands over, against a model: runs that lie
// below all before (the common case), runs that overlap earlier ones, runs
// out of order or with repeats, and records of two kinds at one offset.
TEST(FailedChains, ChainsInAndOutOfOrderHoldWhatAModelHolds) {
  std::mt19937 random(7);
  FailedChains chains;
  std::set<std::pair<FileKind, int64_t>> model;
  int64_t top = 50'000'000;
  int64_t lowest = top;
  for (int chain = 0; chain < 3000; ++chain) {
    const FileKind kind = random() % 4 == 0 ? FileKind::Png : FileKind::Zip;
    std::vector<int64_t> records(1 + random() % 12);
    const int shape = static_cast<int>(random() % 6);
    // Shape 0 starts inside what earlier chains covered, shape 3 just below
    // the lowest record so far and runs on past it.
    int64_t at = top - static_cast<int64_t>(records.size()) * 600;
    if (shape == 0) at = top + static_cast<int64_t>(random() % 2'000'000);
    if (shape == 3 && !model.empty()) at = lowest - 700;
    for (int64_t& record : records) {
      at += 1 + static_cast<int64_t>(random() % 500);
      record = at;
    }
    if (shape == 1) std::swap(records.front(), records.back());
    if (shape == 2) records.back() = records.front();
    top -= static_cast<int64_t>(records.size()) * 600 + 1;
    chains.RememberChain(kind, records);
    for (const int64_t record : records) {
      model.insert({kind, record});
      lowest = std::min(lowest, record);
    }
    if (chain == 1500) {
      chains.Forget();
      model.clear();
      lowest = top;
    }
    for (const int64_t record : records) {
      for (const int64_t probe : {record - 1, record, record + 1}) {
        for (const FileKind probe_kind : {FileKind::Zip, FileKind::Png}) {
          ASSERT_EQ(chains.Holds(probe_kind, probe), model.contains({probe_kind, probe}))
              << "chain " << chain << " offset " << probe;
        }
      }
    }
  }
  for (const auto& [kind, offset] : model) ASSERT_TRUE(chains.Holds(kind, offset)) << offset;
}

}  // namespace
}  // namespace officecarve
