// The byte runs a carve took on the source: for the documents' reports, and
// the log of every completed carve for a report that accounts for the
// foreign files too.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "scan/carver_frame.h"
#include "support/recording_frontend.h"
#include "testimage/memory_handle.h"

namespace officecarve {
namespace {

constexpr uint32_t kUnit = 512;

ByteRun Stretch(uint64_t file_offset, int64_t first_unit, uint64_t bytes) {
  return {file_offset, first_unit * kUnit, bytes};
}

class CarverByteRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    auto handle = std::make_unique<testimage::MemoryHandle>(std::vector<uint8_t>(64 * kUnit));
    ASSERT_TRUE(source_.OpenHandle(std::move(handle), SourceType::kImage, "img", "img").ok);
    source_.SetRange({0, 63});
    env_.range_last = 63;
  }

  SectorSource source_;
  ClaimedSectorMap map_{63};
  ScanState state_;
  testing::RecordingFrontend frontend_{state_};
  UiTextTable texts_{TextVariant::English};
  CarverEnv env_{source_, map_, state_, frontend_, texts_};
};

TEST_F(CarverByteRuns, StepsOverOtherFilesAsSeparateRunsCutToTheFileLength) {
  for (const int64_t other : {3, 4, 9}) map_.Claim(other);
  CarverCall call(env_, 2 * kUnit);
  ASSERT_TRUE(call.ReadUntil(6 * kUnit));  // units 2, 5..8, 10

  EXPECT_EQ(call.ByteRuns(), (std::vector<ByteRun>{Stretch(0, 2, 512), Stretch(512, 5, 2048),
                                                   Stretch(2560, 10, 512)}));
  EXPECT_EQ(call.ByteRuns(3000), (std::vector<ByteRun>{Stretch(0, 2, 512), Stretch(512, 5, 2048),
                                                       Stretch(2560, 10, 440)}));
  // A length that ends on a run's last byte leaves out the runs after it.
  EXPECT_EQ(call.ByteRuns(2560), (std::vector<ByteRun>{Stretch(0, 2, 512), Stretch(512, 5, 2048)}));
  call.Complete();
}

TEST_F(CarverByteRuns, TheLogHoldsCompletedCarvesWithoutTheirClusterSlack) {
  ClaimedFileLog log;
  env_.claimed = &log;
  env_.sectors_per_cluster = 4;
  env_.carving_kind = FileKind::Png;
  {
    CarverCall call(env_, 12 * kUnit);
    ASSERT_TRUE(call.ReadUntil(2 * kUnit));
    call.Complete();  // claims 14 and 15 as the rest of the cluster
  }
  env_.carving_kind = FileKind::Zip;
  {
    CarverCall failed(env_, 20 * kUnit);
    ASSERT_TRUE(failed.SkipClaim());
    failed.Fail();
  }
  // Units a long file let go of from its claim list still show in its runs.
  map_.Claim(33);
  env_.carving_kind = FileKind::RiffAvi;
  {
    CarverCall call(env_, 30 * kUnit);
    ASSERT_TRUE(call.SkipClaim() && call.SkipClaim());  // 31, 32
    call.KeepClaims();
    ASSERT_TRUE(call.SkipClaim() && call.SkipClaim());  // 34, 35
    call.Complete();
  }

  ASSERT_EQ(log.Files().size(), 2u);
  EXPECT_EQ(log.Files()[0].kind, FileKind::Png);
  EXPECT_EQ(log.Files()[0].start_sector, 12);
  EXPECT_EQ(log.Files()[0].byte_runs, std::vector<ByteRun>{Stretch(0, 12, 1024)});
  EXPECT_EQ(log.Files()[1].kind, FileKind::RiffAvi);
  EXPECT_EQ(log.Files()[1].byte_runs,
            (std::vector<ByteRun>{Stretch(0, 30, 1536), Stretch(1536, 34, 1024)}));
  EXPECT_TRUE(map_.IsClaimed(15));

  // Files reported as written documents leave the log; one too large for it
  // is counted instead.
  log.DropStartingAt({12});
  log.Add(FileKind::JpegJfif, 40, {Stretch(0, 40, 512)}, false);
  ASSERT_EQ(log.Files().size(), 1u);
  EXPECT_EQ(log.Files()[0].start_sector, 30);
  EXPECT_EQ(log.NotListed(), 1u);
}

}  // namespace
}  // namespace officecarve
