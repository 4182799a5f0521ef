#include "source/sector_source.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"

namespace officecarve {
namespace {

using testimage::ImageBuilder;
using testimage::MemoryHandle;
using testimage::NtfsBootParams;
using testimage::PseudoRandomBytes;

constexpr uint32_t kSector = 512;
constexpr uint32_t kWindow = SectorSource::kWindowBytes;

// What a test keeps of a fake after the source took ownership of it.
struct Fake {
  MemoryHandle* handle = nullptr;
  std::shared_ptr<MemoryHandle::Counters> counters;
  std::vector<uint8_t> bytes;

  std::vector<uint8_t> Bytes(int64_t offset, size_t count) const {
    return std::vector<uint8_t>(bytes.begin() + offset, bytes.begin() + offset + count);
  }
};

// Opens bytes with no recognisable boot sector (noise) as an image.
Fake OpenImageOf(SectorSource& source, std::vector<uint8_t> bytes) {
  auto handle = std::make_unique<MemoryHandle>(bytes);
  Fake fake{handle.get(), handle->counters(), std::move(bytes)};
  const OpenOutcome outcome =
      source.OpenHandle(std::move(handle), SourceType::kImage, "test.img", "test.img");
  EXPECT_TRUE(outcome.ok);
  return fake;
}

Fake OpenNoiseImage(SectorSource& source, int64_t sectors, uint32_t seed = 7) {
  return OpenImageOf(source, PseudoRandomBytes(static_cast<size_t>(sectors) * kSector, seed));
}

// Reads one 512-byte sector through the window; the bytes not delivered.
int32_t ReadSector(SectorSource& source, int64_t sector, std::vector<uint8_t>& into) {
  into.assign(kSector, 0);
  return source.ReadAt(into.data(), kSector, sector * kSector);
}

TEST(ReadAt, FillsFromTheImageStartAndRefusesTheSectorPastItsEnd) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 10);
  ASSERT_EQ(source.Range().last, 9);
  const uint64_t bytes_before = fake.counters->bytes_read;

  std::vector<uint8_t> sector;
  ASSERT_EQ(ReadSector(source, 3, sector), 0);
  EXPECT_EQ(sector, fake.Bytes(3 * kSector, kSector));
  // The one fill started at byte 0 and delivered the whole image.
  EXPECT_EQ(fake.counters->bytes_read - bytes_before, 10u * kSector);

  for (int64_t s = 0; s < 10; ++s) {
    ASSERT_EQ(ReadSector(source, s, sector), 0);
    EXPECT_EQ(sector, fake.Bytes(s * kSector, kSector));
  }
  EXPECT_EQ(ReadSector(source, 10, sector), static_cast<int32_t>(kSector));
  EXPECT_EQ(source.WindowFills(), 1u);
}

TEST(ReadAt, ReadsOnWithoutSeekingWhileFillsFollowEachOther) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 4 * kWindow / kSector);
  std::vector<uint8_t> sector;
  const uint64_t seeks_before = fake.counters->seeks;
  for (int64_t s = 0; s < 4 * kWindow / kSector; ++s) {
    ASSERT_EQ(ReadSector(source, s, sector), 0);
    ASSERT_EQ(sector, fake.Bytes(s * kSector, kSector)) << s;
  }
  EXPECT_EQ(source.WindowFills(), 4u);
  EXPECT_EQ(fake.counters->seeks - seeks_before, 1u);

  // After a jump back, and after a direct read moved the handle, the next
  // fill seeks again and still gets the right bytes.
  ASSERT_EQ(ReadSector(source, 1, sector), 0);
  EXPECT_EQ(sector, fake.Bytes(kSector, kSector));
  ASSERT_TRUE(source.ReadSectorDirect(200, sector.data()));
  ASSERT_EQ(ReadSector(source, 130, sector), 0);
  EXPECT_EQ(sector, fake.Bytes(130 * kSector, kSector));
}

TEST(ReadAt, PullsTheWindowBackToTheRangeEndAndServesWhatItHoldsPastIt) {
  SectorSource source;
  std::vector<uint8_t> bytes = PseudoRandomBytes(1 << 20, 3);
  auto handle = std::make_unique<MemoryHandle>(bytes);
  handle->ActAsDevice(int64_t{1'000'000} * kSector, kSector);
  ASSERT_TRUE(source.OpenHandle(std::move(handle), SourceType::kVolume, "/dev/x", "x").ok);
  ASSERT_EQ(source.Working().last_sector, 999'999);
  source.SetRange({0, 99});

  std::vector<uint8_t> sector;
  ASSERT_EQ(ReadSector(source, 99, sector), 0);
  EXPECT_EQ(sector,
            std::vector<uint8_t>(bytes.begin() + 99 * kSector, bytes.begin() + 100 * kSector));
  // Past the range end, but inside the window that was clamped to start at 0.
  ASSERT_EQ(ReadSector(source, 100, sector), 0);
  EXPECT_EQ(sector,
            std::vector<uint8_t>(bytes.begin() + 100 * kSector, bytes.begin() + 101 * kSector));
  EXPECT_EQ(source.WindowFills(), 1u);

  EXPECT_EQ(ReadSector(source, 200, sector), static_cast<int32_t>(kSector));
  EXPECT_EQ(source.WindowFills(), 1u);
}

TEST(ReadAt, CompletesARequestThatStraddlesTheWindowEnd) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 512);
  std::vector<uint8_t> sector;
  ASSERT_EQ(ReadSector(source, 0, sector), 0);

  std::vector<uint8_t> straddling(1024);
  ASSERT_EQ(source.ReadAt(straddling.data(), 1024, kWindow - 512), 0);
  EXPECT_EQ(straddling, fake.Bytes(kWindow - 512, 1024));
  EXPECT_EQ(source.WindowFills(), 2u);

  // The refill began right after the old window, so its last sector is held.
  ASSERT_EQ(ReadSector(source, 2 * kWindow / kSector - 1, sector), 0);
  EXPECT_EQ(source.WindowFills(), 2u);

  // From the first window again, the request goes on in the one kept aside.
  ASSERT_EQ(ReadSector(source, 0, sector), 0);
  straddling.assign(1024, 0);
  ASSERT_EQ(source.ReadAt(straddling.data(), 1024, kWindow - 512), 0);
  EXPECT_EQ(straddling, fake.Bytes(kWindow - 512, 1024));
  EXPECT_EQ(source.WindowFills(), 2u);
}

TEST(ReadAt, PullsTheRefillOfAStraddlingRequestBackFromTheRangeEnd) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 200);  // range end: byte 102,400
  std::vector<uint8_t> sector;
  ASSERT_EQ(ReadSector(source, 0, sector), 0);

  std::vector<uint8_t> straddling(1024);
  ASSERT_EQ(source.ReadAt(straddling.data(), 1024, kWindow - 512), 0);
  EXPECT_EQ(straddling, fake.Bytes(kWindow - 512, 1024));

  // The new window covers 36,864 .. 102,400: both of its ends are served as is.
  for (const int64_t held : {int64_t{72}, int64_t{199}}) {
    ASSERT_EQ(ReadSector(source, held, sector), 0);
    EXPECT_EQ(sector, fake.Bytes(held * kSector, kSector));
  }
  EXPECT_EQ(source.WindowFills(), 2u);
}

TEST(ReadAt, FillsAFewSectorsFarAboveTheWindowAndTwiceAsManyForEachReadOnFromThem) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 8192);
  std::vector<uint8_t> sector;
  ASSERT_EQ(ReadSector(source, 100, sector), 0);
  // A lone header 2 MiB ahead, then a walk on from it.
  std::vector<uint64_t> filled;
  for (int64_t s = 4096; s < 4096 + 2 * kWindow / kSector; ++s) {
    const uint64_t read_before = fake.counters->bytes_read;
    ASSERT_EQ(ReadSector(source, s, sector), 0);
    ASSERT_EQ(sector, fake.Bytes(s * kSector, kSector)) << s;
    if (fake.counters->bytes_read != read_before) {
      filled.push_back(fake.counters->bytes_read - read_before);
    }
  }
  EXPECT_EQ(filled, (std::vector<uint64_t>{4096, 8192, 16384, 32768, 65536, 65536}));
  // A walk down from a window still gets whole windows, ending where it starts.
  const uint64_t fills = source.WindowFills();
  ASSERT_EQ(ReadSector(source, 4095, sector), 0);
  ASSERT_EQ(ReadSector(source, 4096 - kWindow / kSector, sector), 0);
  EXPECT_EQ(source.WindowFills(), fills + 1);
}

TEST(ReadDirect, ServesWhatTheWindowsAndTheLastDirectReadHoldAndReadsTheRestAlone) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 8192);
  std::vector<uint8_t> sector;
  ASSERT_EQ(ReadSector(source, 0, sector), 0);
  ASSERT_EQ(ReadSector(source, kWindow / kSector, sector), 0);
  const uint64_t reads = fake.counters->reads;
  const uint64_t fills = source.WindowFills();
  std::vector<uint8_t> bytes(1024);
  struct Case {
    int64_t offset;
    uint64_t device_reads;  // the reads it costs
  };
  for (const Case& c : {Case{kWindow - 512, 0},              // across the two windows
                        Case{3 << 20, 1}, Case{3 << 20, 0},  // far, then the same again
                        Case{(3 << 20) + 600, 1}}) {
    const uint64_t before = fake.counters->reads;
    ASSERT_TRUE(source.ReadDirect(c.offset, bytes)) << c.offset;
    EXPECT_EQ(bytes, fake.Bytes(c.offset, bytes.size())) << c.offset;
    EXPECT_EQ(fake.counters->reads - before, c.device_reads) << c.offset;
  }
  EXPECT_EQ(source.WindowFills(), fills);
  EXPECT_FALSE(source.ReadDirect(8192 * kSector - 512, bytes));
  EXPECT_EQ(fake.counters->reads - reads, 2u);
}

TEST(ReadAt, ServesARequestLargerThanTheWindowInSeveralPasses) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 2048);
  std::vector<uint8_t> block(200 * 1024);
  ASSERT_EQ(source.ReadAt(block.data(), static_cast<uint32_t>(block.size()), 4096), 0);
  EXPECT_EQ(block, fake.Bytes(4096, block.size()));
  EXPECT_EQ(source.WindowFills(), 4u);
}

TEST(ReadAt, CostsOneDeviceReadPerWindowOfSequentialSectors) {
  SectorSource source;
  constexpr int64_t kSectors = 2048;
  const Fake fake = OpenNoiseImage(source, kSectors);
  const uint64_t reads_before = fake.counters->reads;

  std::vector<uint8_t> sector;
  for (int64_t s = 0; s < kSectors; ++s) {
    ASSERT_EQ(ReadSector(source, s, sector), 0) << "sector " << s;
    ASSERT_EQ(sector, fake.Bytes(s * kSector, kSector)) << "sector " << s;
  }
  EXPECT_EQ(fake.counters->reads - reads_before, kSectors * kSector / kWindow);
}

TEST(ReadAt, ReportsOnlyTheTailNotDeliveredWhenTheDeviceEndsEarly) {
  // The device claims 1 MiB but delivers only its first 100 sectors.
  SectorSource source;
  const std::vector<uint8_t> bytes = PseudoRandomBytes(100 * kSector, 5);
  auto handle = std::make_unique<MemoryHandle>(bytes);
  handle->ActAsDevice(1 << 20, kSector);
  ASSERT_TRUE(source.OpenHandle(std::move(handle), SourceType::kVolume, "/dev/x", "x").ok);

  std::vector<uint8_t> two_sectors(1024, 0xEE);
  ASSERT_EQ(source.ReadAt(two_sectors.data(), 1024, 99 * kSector), 512);
  EXPECT_TRUE(
      std::equal(two_sectors.begin(), two_sectors.begin() + 512, bytes.begin() + 99 * kSector));
  std::vector<uint8_t> sector;
  EXPECT_EQ(ReadSector(source, 150, sector), static_cast<int32_t>(kSector));
}

TEST(ReadAt, ServesTheSourceWhenTheStoredRangeEndsBeyondAnyOffset) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 16);
  source.SetRange({0, INT64_MAX});
  std::vector<uint8_t> sector;
  ASSERT_EQ(ReadSector(source, 15, sector), 0);
  EXPECT_EQ(sector, fake.Bytes(15 * kSector, kSector));
  EXPECT_EQ(ReadSector(source, 16, sector), static_cast<int32_t>(kSector));

  source.SetRange({0, INT64_MIN});
  EXPECT_EQ(ReadSector(source, 200, sector), static_cast<int32_t>(kSector));
}

TEST(ReadAtWithBadSectors, StillDeliversTheReadableSectorsAroundABadOne) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 512);
  fake.handle->MakeUnreadable(50);

  // The fill for sector 10 covers sector 50 and fails; sector 10 still arrives.
  std::vector<uint8_t> sector;
  ASSERT_EQ(ReadSector(source, 10, sector), 0);
  EXPECT_EQ(sector, fake.Bytes(10 * kSector, kSector));
  const uint64_t fills = source.WindowFills();
  EXPECT_EQ(ReadSector(source, 50, sector), static_cast<int32_t>(kSector));

  // A request across the bad sector delivers what comes before it.
  std::vector<uint8_t> five(5 * kSector);
  EXPECT_EQ(source.ReadAt(five.data(), 5 * kSector, 48 * kSector),
            static_cast<int32_t>(3 * kSector));
  EXPECT_TRUE(std::equal(five.begin(), five.begin() + 2 * kSector,
                         fake.Bytes(48 * kSector, 2 * kSector).begin()));
  ASSERT_EQ(ReadSector(source, 51, sector), 0);
  EXPECT_EQ(sector, fake.Bytes(51 * kSector, kSector));
  // Inside the failed stretch the window is not tried again...
  EXPECT_EQ(source.WindowFills(), fills);
  // ...and past it, reads go through the window once more.
  ASSERT_EQ(ReadSector(source, 300, sector), 0);
  EXPECT_EQ(source.WindowFills(), fills + 1);

  std::vector<uint8_t> direct(kSector);
  EXPECT_FALSE(source.ReadSectorDirect(50, direct.data()));
  fake.handle->MakeReadable(50);
  ASSERT_EQ(ReadSector(source, 50, sector), 0);
  EXPECT_EQ(sector, fake.Bytes(50 * kSector, kSector));
}

TEST(ReadAtWithBadSectors, LeavesNoWindowAfterAFailedFill) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 512);
  std::vector<uint8_t> sector;
  ASSERT_EQ(ReadSector(source, 0, sector), 0);

  fake.handle->MakeUnreadable(300);
  ASSERT_EQ(ReadSector(source, 300, sector), static_cast<int32_t>(kSector));
  ASSERT_EQ(ReadSector(source, 301, sector), 0);

  // Sector 0 was in the earlier window, kept aside by the fill past it; the
  // failed fill serves nothing of its own.
  const uint64_t reads_before = fake.counters->reads;
  ASSERT_EQ(ReadSector(source, 0, sector), 0);
  EXPECT_EQ(sector, fake.Bytes(0, kSector));
  EXPECT_EQ(fake.counters->reads - reads_before, 0u);
  ASSERT_EQ(ReadSector(source, 299, sector), 0);
  EXPECT_EQ(sector, fake.Bytes(299 * kSector, kSector));
}

TEST(ReadAtWithBadSectors, FailsEveryReadWhenTheDeviceRefusesToSeek) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 512);
  fake.handle->FailSeeks(true);
  std::vector<uint8_t> sector(kSector);
  EXPECT_EQ(ReadSector(source, 3, sector), static_cast<int32_t>(kSector));
  EXPECT_FALSE(source.ReadSectorDirect(3, sector.data()));
}

TEST(WindowView, ShowsEverySectorAsReadAtCopiesItForTheSameDeviceReads) {
  SectorSource viewed;
  const Fake fake = OpenNoiseImage(viewed, 1000);
  SectorSource copied;
  const Fake copy_fake = OpenNoiseImage(copied, 1000);
  std::vector<uint8_t> sector;
  for (int64_t at = 0; at < 1000; at += 3) {
    const auto view = viewed.WindowView(at * kSector, kSector);
    ASSERT_EQ(view.size(), kSector) << "sector " << at;
    EXPECT_TRUE(std::equal(view.begin(), view.end(), fake.bytes.begin() + at * kSector));
    ASSERT_EQ(ReadSector(copied, at, sector), 0);
  }
  EXPECT_EQ(fake.counters->reads, copy_fake.counters->reads);
  EXPECT_EQ(viewed.WindowFills(), copied.WindowFills());
}

TEST(WindowView, IsEmptyWhereOnlyReadAtCanServeTheBytes) {
  SectorSource source;
  const Fake fake = OpenNoiseImage(source, 512);
  fake.handle->MakeUnreadable(50);
  EXPECT_TRUE(source.WindowView(10 * kSector, kSector).empty());
  // The readable sector beside the bad one still comes through ReadAt.
  std::vector<uint8_t> sector;
  ASSERT_EQ(ReadSector(source, 10, sector), 0);
  EXPECT_EQ(sector, fake.Bytes(10 * kSector, kSector));
  EXPECT_TRUE(source.WindowView(50 * kSector, kSector).empty());

  EXPECT_TRUE(source.WindowView(512 * kSector, kSector).empty()) << "past the range end";
  const auto last = source.WindowView(511 * kSector, kSector);
  ASSERT_EQ(last.size(), kSector);
  EXPECT_TRUE(std::equal(last.begin(), last.end(), fake.bytes.begin() + 511 * kSector));
  EXPECT_TRUE(source.WindowView(511 * kSector + 1, kSector).empty()) << "across the range end";
}

TEST(SectorSourceOpen, NeverServesBytesOfThePreviouslyOpenedSource) {
  SectorSource source;
  OpenNoiseImage(source, 64, /*seed=*/1);
  std::vector<uint8_t> sector;
  ASSERT_EQ(ReadSector(source, 5, sector), 0);

  const Fake second = OpenNoiseImage(source, 64, /*seed=*/2);
  ASSERT_EQ(ReadSector(source, 5, sector), 0);
  EXPECT_EQ(sector, second.Bytes(5 * kSector, kSector));

  source.CloseSource();
  EXPECT_EQ(ReadSector(source, 5, sector), static_cast<int32_t>(kSector));
  EXPECT_FALSE(source.ReadSectorDirect(5, sector.data()));
}

TEST(SectorSourceOpen, ClosesTheSourceWhenAVolumeCannotTellItsLength) {
  SectorSource source;
  OpenNoiseImage(source, 16);
  auto handle = std::make_unique<MemoryHandle>(PseudoRandomBytes(16 * kSector, 1));
  handle->ActAsDevice(std::nullopt, kSector);

  const OpenOutcome outcome =
      source.OpenHandle(std::move(handle), SourceType::kVolume, "/dev/x", "x");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, TextId::kGetParametersFailed);
  EXPECT_FALSE(source.IsOpen());
  EXPECT_EQ(source.Type(), SourceType::kClosed);
  std::vector<uint8_t> sector;
  EXPECT_EQ(ReadSector(source, 0, sector), static_cast<int32_t>(kSector));
}

TEST(SectorSourceOpen, GivesAnUnrecognisedVolumeTheDevicesSectorSize) {
  for (const auto& [reported, expected] :
       {std::pair<std::optional<uint32_t>, uint32_t>{4096u, 4096u}, {std::nullopt, 512u}}) {
    SCOPED_TRACE(expected);
    SectorSource source;
    auto handle = std::make_unique<MemoryHandle>(PseudoRandomBytes(1 << 20, 4));
    handle->ActAsDevice(1 << 20, reported);
    ASSERT_TRUE(source.OpenHandle(std::move(handle), SourceType::kVolume, "/dev/x", "x").ok);

    EXPECT_FALSE(source.BootSectorRecognised());
    const VolumeGeometry& probed = source.Probed();
    EXPECT_EQ(probed.kind, FileSystemKind::kOther);
    EXPECT_EQ(probed.bytes_per_sector, expected);
    EXPECT_EQ(probed.sectors_per_cluster, 1u);
    EXPECT_EQ(probed.cluster_phase, -1);
    EXPECT_EQ(probed.last_sector, (1 << 20) / expected - 1);
    EXPECT_EQ(source.Working(), probed);
    EXPECT_EQ(source.Range().last, probed.last_sector);
  }
}

TEST(SectorSourceOpen, CountsAnUnrecognisedImageIn512ByteSectors) {
  SectorSource source;
  OpenImageOf(source, PseudoRandomBytes(1'000'000, 9));
  EXPECT_EQ(source.Type(), SourceType::kImage);
  EXPECT_EQ(source.Probed().bytes_per_sector, 512u);
  EXPECT_EQ(source.Probed().kind, FileSystemKind::kOther);
  EXPECT_EQ(source.Probed().last_sector, 1952);
}

TEST(SectorSourceOpen, OpensAnImageSmallerThanOneSectorWithNothingToRead) {
  SectorSource source;
  OpenImageOf(source, PseudoRandomBytes(100, 9));
  EXPECT_TRUE(source.IsOpen());
  EXPECT_EQ(source.Probed().last_sector, -1);
  std::vector<uint8_t> sector;
  EXPECT_EQ(ReadSector(source, 0, sector), static_cast<int32_t>(kSector));
  EXPECT_FALSE(source.ReadSectorDirect(0, sector.data()));
}

TEST(SectorSourceOpen, OpensABootSectorWithAnImpossibleSectorSizeWithTheFallbacks) {
  ImageBuilder ntfs_8k(4, 8192);
  ntfs_8k.WriteNtfsBoot({.bytes_per_sector = 8192, .sectors_per_cluster = 1});
  SectorSource source;
  auto image = std::make_unique<MemoryHandle>(ntfs_8k.Bytes());
  const OpenOutcome outcome =
      source.OpenHandle(std::move(image), SourceType::kImage, "a.img", "a.img");
  EXPECT_TRUE(outcome.ok);
  EXPECT_FALSE(source.BootSectorRecognised());
  EXPECT_EQ(source.Probed().bytes_per_sector, 512u);
  EXPECT_EQ(source.Probed().last_sector, 4 * 8192 / 512 - 1);
}

TEST(SectorSourceOpen, RefusesADeviceWhoseSectorSizeItCannotHoldAndNamesIt) {
  SectorSource source;
  OpenOutcome outcome;
  for (const uint32_t reported : {520u, 0u, 256u}) {
    SCOPED_TRACE(reported);
    auto device = std::make_unique<MemoryHandle>(PseudoRandomBytes(64 * 1024, 2));
    device->ActAsDevice(64 * 1024, reported);
    outcome = source.OpenHandle(std::move(device), SourceType::kVolume, "/dev/x", "x");
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, TextId::kUnsupportedSectorSize);
    EXPECT_EQ(outcome.sector_size, reported);
    EXPECT_FALSE(source.IsOpen());
  }
}

TEST(SectorSourceOpen, ReadsA4096ByteSectorImageInWholeSectors) {
  constexpr uint32_t kBig = 4096;
  ImageBuilder builder(64, kBig);
  builder.WriteNtfsBoot({.bytes_per_sector = kBig, .sectors_per_cluster = 1});
  builder.FillNoise(1, 63, 11);
  SectorSource source;
  const Fake fake = OpenImageOf(source, builder.Bytes());

  EXPECT_TRUE(source.BootSectorRecognised());
  EXPECT_EQ(source.Probed().kind, FileSystemKind::kNtfs);
  EXPECT_EQ(source.Probed().bytes_per_sector, kBig);
  EXPECT_EQ(source.Probed().last_sector, 63);
  EXPECT_EQ(source.Working(), source.Probed());

  std::vector<uint8_t> sector(kBig);
  ASSERT_EQ(source.ReadAt(sector.data(), kBig, 5 * kBig), 0);
  EXPECT_EQ(sector, fake.Bytes(5 * kBig, kBig));
  ASSERT_TRUE(source.ReadSectorDirect(63, sector.data()));
  EXPECT_EQ(sector, fake.Bytes(63 * kBig, kBig));
  EXPECT_EQ(source.ReadAt(sector.data(), kBig, 64 * kBig), static_cast<int32_t>(kBig));
}

TEST(SeekTo, ReachesAnOffsetWhoseLowWordIsAllOnes) {
  SectorSource source;
  EXPECT_EQ(source.SeekTo(0, SeekOrigin::kBegin), -1);  // nothing open
  OpenNoiseImage(source, 4);
  EXPECT_EQ(source.SeekTo(0xFFFF'FFFF, SeekOrigin::kBegin), 0xFFFF'FFFF);
  EXPECT_EQ(source.SeekTo(0x1'FFFF'FFFF, SeekOrigin::kBegin), 0x1'FFFF'FFFF);
}

}  // namespace
}  // namespace officecarve
