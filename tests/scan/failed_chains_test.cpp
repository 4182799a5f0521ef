#include "scan/failed_chains.h"

#include <gtest/gtest.h>

#include <tuple>

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
  for (int64_t offset = 0; offset < static_cast<int64_t>(FailedChains::kSlots); ++offset) {
    chains.Remember(FileKind::Zip, 1'000'000 - offset);
  }
  EXPECT_TRUE(chains.Holds(FileKind::Zip, 1'000'000 - (FailedChains::kSlots - 1)));
  EXPECT_FALSE(chains.Holds(FileKind::Zip, 1'000'000));
}

}  // namespace
}  // namespace officecarve
