#include "testimage/image_builder.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/temp_dir.h"
#include "scan/identify.h"
#include "source/boot_probe.h"

namespace officecarve::testimage {
namespace {

uint32_t Le(const std::vector<uint8_t>& bytes, size_t offset, size_t width) {
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= uint32_t{bytes[offset + i]} << (8 * i);
  return value;
}

std::string Text(const std::vector<uint8_t>& bytes, size_t offset, size_t length) {
  return std::string(bytes.begin() + offset, bytes.begin() + offset + length);
}

std::span<const uint8_t> SectorOf(const ImageBuilder& image, int64_t sector) {
  return std::span<const uint8_t>(image.Bytes())
      .subspan(sector * image.BytesPerSector(), image.BytesPerSector());
}

TEST(ImageBuilderBoot, Fat16CarriesTheGeometryFieldsAtTheirOffsets) {
  ImageBuilder image(4000);
  image.MutableBytes()[700] = 0x77;  // outside sector 0: must survive
  const FatBootParams params;
  image.WriteFat16Boot(params);
  const auto& b = image.Bytes();
  EXPECT_EQ(Text(b, 0x36, 8), "FAT16   ");
  EXPECT_EQ(Le(b, 0x0B, 2), 512u);
  EXPECT_EQ(b[0x0D], 4);
  EXPECT_EQ(Le(b, 0x0E, 2), 1u);
  EXPECT_EQ(b[0x10], 2);
  EXPECT_EQ(Le(b, 0x11, 2), 512u);
  EXPECT_EQ(Le(b, 0x16, 2), 200u);
  EXPECT_EQ(Le(b, 0x13, 2), 4000u);
  EXPECT_EQ(Text(b, 0x2B, 11), "NO NAME    ");
  EXPECT_EQ(b[510], 0x55);
  EXPECT_EQ(b[511], 0xAA);
  EXPECT_EQ(b[700], 0x77);
  EXPECT_EQ(ImageBuilder::FatFirstDataSector(params), 433u);

  const ProbeResult probe = ProbeBootBytes(std::span(b).first(512));
  ASSERT_TRUE(probe.recognised);
  EXPECT_EQ(probe.geometry.kind, FileSystemKind::kFat);
  EXPECT_EQ(probe.geometry.sectors_per_cluster, 4u);
  EXPECT_EQ(probe.geometry.cluster_phase, 433 % 4);
}

TEST(ImageBuilderBoot, Fat12AndLargeFat16PutTotalsWhereTheyFit) {
  ImageBuilder image(100);
  FatBootParams params;
  params.total_sectors = 70000;
  image.WriteFat12Boot(params);
  EXPECT_EQ(Text(image.Bytes(), 0x36, 8), "FAT12   ");
  EXPECT_EQ(Le(image.Bytes(), 0x13, 2), 0u);
  EXPECT_EQ(Le(image.Bytes(), 0x20, 4), 70000u);

  params.fat_size = 70000;
  EXPECT_THROW(image.WriteFat16Boot(params), std::invalid_argument);
}

TEST(ImageBuilderBoot, Fat32KeepsItsFatSizeAndTypeInTheExtendedFields) {
  ImageBuilder image(100);
  FatBootParams params;
  params.reserved_sectors = 32;
  params.root_entries = 0;
  params.fat_size = 0x12345;
  params.sectors_per_cluster = 8;
  image.WriteFat32Boot(params);
  const auto& b = image.Bytes();
  EXPECT_EQ(Text(b, 0x52, 8), "FAT32   ");
  EXPECT_EQ(Le(b, 0x24, 4), 0x12345u);
  EXPECT_EQ(Le(b, 0x16, 2), 0u);
  EXPECT_EQ(Le(b, 0x11, 2), 0u);
  EXPECT_NE(Text(b, 0x36, 3), "FAT");
  EXPECT_EQ(Le(b, 0x20, 4), 100u);
  EXPECT_EQ(ImageBuilder::FatFirstDataSector(params), 32u + 2 * 0x12345u);

  const ProbeResult probe = ProbeBootBytes(std::span(b).first(512));
  ASSERT_TRUE(probe.recognised);
  EXPECT_EQ(probe.geometry.kind, FileSystemKind::kFat32);
  EXPECT_EQ(probe.geometry.cluster_phase, static_cast<int32_t>((32 + 2 * 0x12345) % 8));
}

TEST(ImageBuilderBoot, FirstDataSectorRoundsTheRootDirectoryDown) {
  FatBootParams params;
  params.root_entries = 20;  // 640 bytes: one whole sector and a part
  EXPECT_EQ(ImageBuilder::FatFirstDataSector(params), 1u + 400u + 1u);
  params.bytes_per_sector = 0;
  EXPECT_THROW(ImageBuilder::FatFirstDataSector(params), std::invalid_argument);
}

TEST(ImageBuilderBoot, NtfsAndExFatCarryTheirOemNamesAndSizes) {
  ImageBuilder image(4096);
  image.WriteNtfsBoot({.bytes_per_sector = 1024, .sectors_per_cluster = 16});
  EXPECT_EQ(Text(image.Bytes(), 3, 8), "NTFS    ");
  EXPECT_EQ(Le(image.Bytes(), 0x0B, 2), 1024u);
  EXPECT_EQ(image.Bytes()[0x0D], 16);
  EXPECT_EQ(Le(image.Bytes(), 0x28, 4), 2047u);

  image.WriteExFatBoot({});
  const auto& b = image.Bytes();
  EXPECT_EQ(Text(b, 3, 8), "EXFAT   ");
  EXPECT_EQ(b[0x0B], 0);  // the old NTFS fields are gone
  EXPECT_EQ(b[0x6C], 9);
  EXPECT_EQ(b[0x6D], 3);
  EXPECT_EQ(Le(b, 0x58, 4), 2048u);
  EXPECT_EQ(Le(b, 0x48, 4), 4096u);
  EXPECT_EQ(b[511], 0xAA);

  const ProbeResult probe = ProbeBootBytes(std::span(b).first(512));
  ASSERT_TRUE(probe.recognised);
  EXPECT_EQ(probe.geometry.kind, FileSystemKind::kExFat);
  EXPECT_EQ(probe.geometry.sectors_per_cluster, 8u);
}

TEST(ImageBuilderPlace, RefusesBytesThatDoNotFitAndWritesNothing) {
  ImageBuilder image(4);
  const std::vector<uint8_t> two_sectors(1024, 0xAB);
  image.Place(2, two_sectors);  // exactly up to the end
  EXPECT_EQ(image.Bytes()[2 * 512], 0xAB);
  EXPECT_EQ(image.Bytes().back(), 0xAB);
  const std::vector<uint8_t> other(1024, 0xCD);
  EXPECT_THROW(image.Place(3, other), std::out_of_range);
  EXPECT_THROW(image.Place(-1, std::vector<uint8_t>(1)), std::out_of_range);
  EXPECT_THROW(image.Place(5, {}), std::out_of_range);
  EXPECT_EQ(image.Bytes()[3 * 512], 0xAB);
}

TEST(ImageBuilderPlace, PlaceAcrossFillsSectorsInListOrderWithAPartialLast) {
  ImageBuilder image(10);
  std::vector<uint8_t> file(1100);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i % 251 + 1);
  const std::vector<int64_t> sectors = {7, 2, 5};
  image.PlaceAcross(file, sectors);
  EXPECT_TRUE(std::equal(file.begin(), file.begin() + 512, SectorOf(image, 7).begin()));
  EXPECT_TRUE(std::equal(file.begin() + 512, file.begin() + 1024, SectorOf(image, 2).begin()));
  EXPECT_TRUE(std::equal(file.begin() + 1024, file.end(), SectorOf(image, 5).begin()));
  EXPECT_EQ(SectorOf(image, 5)[76], 0);  // past the file's end

  ImageBuilder untouched(10);
  const std::vector<int64_t> too_few = {1, 2};
  EXPECT_THROW(untouched.PlaceAcross(file, too_few), std::invalid_argument);
  const std::vector<int64_t> one_outside = {1, 2, 10};
  EXPECT_THROW(untouched.PlaceAcross(file, one_outside), std::out_of_range);
  EXPECT_EQ(std::count(untouched.Bytes().begin(), untouched.Bytes().end(), 0),
            static_cast<ptrdiff_t>(untouched.Bytes().size()));
}

TEST(ImageBuilderPlace, PlaceFragmentedStepsOverGapsAndLeavesThemAlone) {
  ImageBuilder image(30);
  image.FillNoise(0, 29, 5);
  const std::vector<uint8_t> before = image.Bytes();
  const std::vector<uint8_t> file = PseudoRandomBytes(6 * 512 - 100, 9);
  // Unsorted, touching and one before the start.
  const std::vector<std::pair<int64_t, int64_t>> gaps = {{16, 16}, {12, 12}, {13, 13}, {0, 3}};
  const std::vector<int64_t> used = image.PlaceFragmented(10, file, gaps);
  EXPECT_EQ(used, (std::vector<int64_t>{10, 11, 14, 15, 17, 18}));
  for (size_t i = 0; i < used.size(); ++i) {
    const size_t length = std::min<size_t>(512, file.size() - i * 512);
    EXPECT_TRUE(std::equal(file.begin() + i * 512, file.begin() + i * 512 + length,
                           SectorOf(image, used[i]).begin()));
  }
  for (int64_t gap : {12, 13, 16}) {
    EXPECT_TRUE(
        std::ranges::equal(SectorOf(image, gap), std::span(before).subspan(gap * 512, 512)));
  }
  EXPECT_EQ(image.PlaceFragmented(12, file, gaps).front(), 14);  // a start inside a gap

  const std::vector<std::pair<int64_t, int64_t>> reversed = {{5, 4}};
  EXPECT_THROW(image.PlaceFragmented(0, file, reversed), std::invalid_argument);
  EXPECT_THROW(image.PlaceFragmented(27, file, gaps), std::out_of_range);
}

TEST(ImageBuilderNoise, IsDeterministicBoundedAndNeverIdentified) {
  ImageBuilder first(64), second(64), other_seed(64);
  first.FillNoise(1, 62, 42);
  second.FillNoise(1, 62, 42);
  other_seed.FillNoise(1, 62, 43);
  EXPECT_EQ(first.Bytes(), second.Bytes());
  EXPECT_NE(first.Bytes(), other_seed.Bytes());
  EXPECT_TRUE(std::ranges::all_of(SectorOf(first, 0), [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::ranges::all_of(SectorOf(first, 63), [](uint8_t b) { return b == 0; }));
  const std::string_view text(reinterpret_cast<const char*>(first.Bytes().data()),
                              first.Bytes().size());
  EXPECT_EQ(text.find("PK"), std::string_view::npos);
  for (int64_t sector = 1; sector <= 62; ++sector) {
    EXPECT_EQ(Identify(SectorOf(first, sector)), FileKind::None) << sector;
  }
  EXPECT_THROW(first.FillNoise(60, 64, 1), std::out_of_range);
}

TEST(ImageBuilderNoise, DefusesEvery512ByteBlockOfLargerSectors) {
  ImageBuilder image(4, 2048);
  image.FillNoise(0, 3, 7);
  for (size_t offset = 0; offset < image.Bytes().size(); offset += 512) {
    EXPECT_EQ(Identify(std::span(image.Bytes()).subspan(offset, 512)), FileKind::None) << offset;
  }
}

TEST(ImageBuilderDirectory, SectorHoldsDotEntriesThenNamedArchiveEntries) {
  const std::vector<std::string> names = {"README  TXT", "REPORT  DOC"};
  ImageBuilder image(4);
  image.PlaceFatDirectory(1, names);
  const std::vector<uint8_t> sector(SectorOf(image, 1).begin(), SectorOf(image, 1).end());
  EXPECT_EQ(Text(sector, 0, 11), ".          ");
  EXPECT_EQ(Text(sector, 32, 11), "..         ");
  EXPECT_EQ(sector[11], 0x10);
  EXPECT_EQ(Le(sector, 28, 4), 0u);
  EXPECT_EQ(Text(sector, 96, 11), "REPORT  DOC");
  EXPECT_EQ(sector[64 + 11], 0x20);
  const uint32_t date = Le(sector, 64 + 24, 2);
  EXPECT_GE(date >> 9, 5u);
  EXPECT_GE((date >> 5) & 0xF, 1u);
  EXPECT_LE((date >> 5) & 0xF, 12u);
  EXPECT_NE(date & 0x1F, 0u);
  EXPECT_TRUE(std::all_of(sector.begin() + 128, sector.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(Identify(sector), FileKind::FatDirectory);

  EXPECT_THROW(ImageBuilder::FatDirectorySector(512, std::vector<std::string>{"SHORT"}),
               std::invalid_argument);
  EXPECT_THROW(ImageBuilder::FatDirectorySector(512, std::vector<std::string>(15, "A       TXT")),
               std::invalid_argument);
}

TEST(ImageBuilderFiles, WrittenImageReadsBackAndMissingFilesThrow) {
  testing::TempDir dir;
  ImageBuilder image(3);
  image.FillNoise(0, 2, 1);
  image.WriteTo(dir / "image.bin");
  EXPECT_EQ(ReadFileBytes(dir / "image.bin"), image.Bytes());
  EXPECT_EQ(*image.Share(), image.Bytes());
  EXPECT_THROW(ReadFileBytes(dir / "missing.bin"), std::runtime_error);
  EXPECT_THROW(image.WriteTo(dir / "no-such-folder/image.bin"), std::runtime_error);
}

TEST(PseudoRandomBytes, DependsOnlyOnTheSeedAndSeedZeroIsNotDegenerate) {
  EXPECT_EQ(PseudoRandomBytes(100, 3), PseudoRandomBytes(100, 3));
  EXPECT_NE(PseudoRandomBytes(100, 3), PseudoRandomBytes(100, 4));
  const std::vector<uint8_t> zero_seed = PseudoRandomBytes(103, 0);
  EXPECT_GT(std::count_if(zero_seed.begin(), zero_seed.end(), [](uint8_t b) { return b != 0; }),
            90);
}

}  // namespace
}  // namespace officecarve::testimage
