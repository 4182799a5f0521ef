#include "testimage/doc_samples.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scan/identify.h"

namespace officecarve::testimage {
namespace {

constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;

uint32_t Le(const std::vector<uint8_t>& bytes, size_t offset, size_t width = 4) {
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= uint32_t{bytes[offset + i]} << (8 * i);
  return value;
}

// The FAT as a reader of the file finds it: header list, then the DIFAT chain.
std::vector<uint32_t> ReadFat(const std::vector<uint8_t>& bytes) {
  std::vector<uint32_t> fat_sectors;
  for (size_t i = 0; i < 109 && Le(bytes, 76 + 4 * i) != kFree; ++i) {
    fat_sectors.push_back(Le(bytes, 76 + 4 * i));
  }
  for (uint32_t difat = Le(bytes, 68); difat != kEndOfChain && difat != kFree;) {
    const size_t at = (size_t{difat} + 1) * 512;
    for (size_t i = 0; i < 127; ++i) {
      if (Le(bytes, at + 4 * i) != kFree) fat_sectors.push_back(Le(bytes, at + 4 * i));
    }
    difat = Le(bytes, at + 508);
  }
  std::vector<uint32_t> fat;
  for (uint32_t sector : fat_sectors) {
    for (size_t i = 0; i < 128; ++i) fat.push_back(Le(bytes, (size_t{sector} + 1) * 512 + 4 * i));
  }
  return fat;
}

size_t LastUsedIndex(const std::vector<uint32_t>& fat) {
  size_t i = fat.size();
  while (i > 0 && fat[i - 1] == kFree) --i;
  return i - 1;
}

std::vector<uint32_t> Chain(const std::vector<uint32_t>& fat, uint32_t start) {
  std::vector<uint32_t> chain;
  for (uint32_t s = start; s != kEndOfChain && chain.size() <= fat.size(); s = fat.at(s)) {
    chain.push_back(s);
  }
  return chain;
}

std::string EntryName(const CompoundFile& file, uint32_t entry) {
  const size_t at = file.DirectoryEntryOffset(entry);
  const uint32_t length = Le(file.bytes, at + 64, 2);
  std::string name;
  for (size_t i = 0; i + 2 < length; i += 2) name += static_cast<char>(file.bytes[at + i]);
  return name;
}

CompoundFileSpec Streams(std::vector<std::string> names, std::vector<uint32_t> sizes = {}) {
  CompoundFileSpec recipe;
  recipe.stream_names = std::move(names);
  recipe.stream_sizes = std::move(sizes);
  return recipe;
}

TEST(CompoundFileSample, HeaderCarriesTheFieldsOfA512ByteSectorFile) {
  const CompoundFile file = BuildCompoundFile(Streams({"WordDocument", "1Table"}));
  const auto& b = file.bytes;
  EXPECT_TRUE(
      std::equal(b.begin(), b.begin() + 8,
                 std::vector<uint8_t>{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}.begin()));
  EXPECT_EQ(Identify(b), FileKind::CompoundFile);
  EXPECT_EQ(Le(b, 24, 2), 0x3Eu);
  EXPECT_EQ(Le(b, 26, 2), 3u);
  EXPECT_EQ(Le(b, 28), 0x0009FFFEu);
  EXPECT_EQ(Le(b, 32, 2), 6u);
  EXPECT_EQ(Le(b, 44), file.fat_sectors.size());
  EXPECT_EQ(Le(b, 48), file.directory_sectors.at(0));
  EXPECT_EQ(Le(b, 56), 4096u);
  EXPECT_EQ(Le(b, 68), kEndOfChain);
  EXPECT_EQ(Le(b, 72), 0u);
  EXPECT_EQ(Le(b, 76), file.fat_sectors.at(0));
  EXPECT_EQ(Le(b, 80), kFree);
}

TEST(CompoundFileSample, LengthEndsAtTheLastUsedFatEntryDespiteFreeOnes) {
  CompoundFileSpec recipe = Streams({"Workbook"});
  recipe.data_sectors = 20;
  recipe.extra_free_fat_entries = 300;
  CompoundFile file = BuildCompoundFile(recipe);
  std::vector<uint32_t> fat = ReadFat(file.bytes);
  EXPECT_GE(file.fat_sectors.size(), 3u);
  EXPECT_GE(fat.size() - LastUsedIndex(fat) - 1, 300u);
  EXPECT_EQ(LastUsedIndex(fat), file.last_used_sector);
  EXPECT_EQ(file.bytes.size(), (LastUsedIndex(fat) + 2) * 512);

  // Freeing the last entry through the exposed positions shortens what a reader finds.
  file.SetU32(file.FatEntryOffset(file.last_used_sector), kFree);
  EXPECT_EQ(LastUsedIndex(ReadFat(file.bytes)), file.last_used_sector - 1);
}

TEST(CompoundFileSample, DirectoryNamesEveryStreamAndChainsHoldTheirData) {
  const CompoundFile file =
      BuildCompoundFile(Streams({"EncryptionInfo", "EncryptedPackage"}, {5000, 0}));
  const std::vector<uint32_t> fat = ReadFat(file.bytes);
  EXPECT_EQ(Chain(fat, Le(file.bytes, 48)), file.directory_sectors);
  EXPECT_EQ(EntryName(file, 0), "Root Entry");
  EXPECT_EQ(file.bytes[file.DirectoryEntryOffset(0) + 66], 5);
  EXPECT_EQ(Le(file.bytes, file.DirectoryEntryOffset(0) + 64, 2), 22u);
  const std::vector<std::string> names = {"EncryptionInfo", "EncryptedPackage"};
  for (uint32_t e = 1; e <= 2; ++e) {
    const size_t at = file.DirectoryEntryOffset(e);
    EXPECT_EQ(EntryName(file, e), names[e - 1]);
    EXPECT_EQ(file.bytes[at + 66], 2);
    const uint32_t size = Le(file.bytes, at + 120);
    EXPECT_EQ(size, file.streams[e - 1].size);
    if (size > 0) {
      EXPECT_EQ(Chain(fat, Le(file.bytes, at + 116)).size(), (size + 511) / 512);
    } else {
      EXPECT_EQ(Le(file.bytes, at + 116), kEndOfChain);
    }
  }
  // The rest of the directory sector is unused: no name, which ends a name scan.
  EXPECT_EQ(Le(file.bytes, file.DirectoryEntryOffset(3) + 64, 2), 0u);
}

TEST(CompoundFileSample, SmallStreamsLiveInTheMiniStream) {
  const CompoundFile file =
      BuildCompoundFile(Streams({"\x05SummaryInformation", "PowerPoint Document"}, {100, 4096}));
  ASSERT_TRUE(file.streams[0].in_mini_stream);
  EXPECT_FALSE(file.streams[1].in_mini_stream);
  EXPECT_EQ(file.mini_fat_sectors.size(), 1u);
  EXPECT_EQ(Le(file.bytes, 60), file.mini_fat_sectors[0]);
  EXPECT_EQ(Le(file.bytes, 64), 1u);
  const size_t root = file.DirectoryEntryOffset(0);
  EXPECT_EQ(Le(file.bytes, root + 116), file.mini_stream_sectors.at(0));
  EXPECT_EQ(Le(file.bytes, root + 120), 128u);  // two 64-byte mini sectors
  const size_t mini_fat = file.SectorOffset(file.mini_fat_sectors[0]);
  EXPECT_EQ(Le(file.bytes, mini_fat), 1u);
  EXPECT_EQ(Le(file.bytes, mini_fat + 4), kEndOfChain);
  EXPECT_EQ(Le(file.bytes, mini_fat + 8), kFree);
  EXPECT_EQ(EntryName(file, 1), "\x05SummaryInformation");
}

TEST(CompoundFileSample, DifatCanListTheFatInsteadOfTheHeader) {
  CompoundFileSpec recipe = Streams({"WordDocument"});
  recipe.use_difat = true;
  const CompoundFile file = BuildCompoundFile(recipe);
  ASSERT_EQ(file.difat_sectors.size(), 1u);
  const auto& b = file.bytes;
  for (size_t i = 0; i < 109; ++i) EXPECT_EQ(Le(b, 76 + 4 * i), kFree);
  EXPECT_EQ(Le(b, 68), file.difat_sectors[0]);
  EXPECT_EQ(Le(b, 72), 1u);
  const size_t difat = file.SectorOffset(file.difat_sectors[0]);
  EXPECT_EQ(Le(b, difat), file.fat_sectors.at(0));
  EXPECT_EQ(Le(b, difat + 4), kFree);
  EXPECT_EQ(Le(b, difat + 508), kEndOfChain);
  const std::vector<uint32_t> fat = ReadFat(b);
  EXPECT_EQ(fat.at(file.difat_sectors[0]), 0xFFFFFFFCu);
  EXPECT_EQ(fat.at(file.fat_sectors[0]), 0xFFFFFFFDu);
  EXPECT_EQ(b.size(), (LastUsedIndex(fat) + 2) * 512);
}

TEST(CompoundFileSample, FatBeyondTheHeaderListContinuesInDifatSectors) {
  CompoundFileSpec recipe = Streams({"Workbook"});
  recipe.data_sectors = 110 * 128;
  const CompoundFile file = BuildCompoundFile(recipe);
  EXPECT_EQ(file.fat_sectors.size(), 111u);
  ASSERT_EQ(file.difat_sectors.size(), 1u);
  EXPECT_EQ(Le(file.bytes, 76 + 4 * 108), file.fat_sectors[108]);
  const std::vector<uint32_t> fat = ReadFat(file.bytes);
  EXPECT_EQ(fat.size(), 111u * 128);
  EXPECT_EQ(file.bytes.size(), (LastUsedIndex(fat) + 2) * 512);
}

TEST(CompoundFileSample, LargeSectorsMakeAVersion4FileAndBadInputsThrow) {
  CompoundFileSpec recipe = Streams({"Workbook"});
  recipe.sector_shift = 12;
  const CompoundFile file = BuildCompoundFile(recipe);
  EXPECT_EQ(Le(file.bytes, 26, 2), 4u);
  EXPECT_EQ(Le(file.bytes, 28), 0x000CFFFEu);
  EXPECT_EQ(Le(file.bytes, 40), 1u);
  EXPECT_EQ(file.bytes.size() % 4096, 0u);
  EXPECT_EQ(file.bytes.size(), (size_t{file.last_used_sector} + 2) * 4096);

  recipe.sector_shift = 10;
  EXPECT_THROW(BuildCompoundFile(recipe), std::invalid_argument);
  EXPECT_THROW(BuildCompoundFile(Streams({std::string(32, 'x')})), std::invalid_argument);
}

TEST(ZipSample, StoredEntriesAreIndexedByTheCentralDirectoryAndEndRecord) {
  ZipSpec recipe;
  recipe.entries = {{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", "<w:document/>"}};
  recipe.comment = "made by a test";
  const ZipPackage zip = BuildZipPackage(recipe);
  const auto& b = zip.bytes;
  std::vector<uint8_t> first_sector(b.begin(), b.end());
  first_sector.resize(512);
  EXPECT_EQ(Identify(first_sector), FileKind::ZippedXml);
  // The end record and its comment close the package.
  ASSERT_EQ(zip.end_record_offset, b.size() - 22 - 14);
  EXPECT_EQ(Le(b, zip.end_record_offset), 0x06054B50u);
  EXPECT_EQ(Le(b, zip.end_record_offset + 10, 2), 2u);
  EXPECT_EQ(Le(b, zip.end_record_offset + 16), zip.central_directory_offset);
  EXPECT_EQ(Le(b, zip.end_record_offset + 12),
            zip.end_record_offset - zip.central_directory_offset);
  EXPECT_EQ(Le(b, zip.end_record_offset + 20, 2), 14u);
  EXPECT_EQ(std::string(b.end() - 14, b.end()), "made by a test");

  const size_t local = zip.local_header_offsets[1];
  const size_t central = zip.central_header_offsets[1];
  EXPECT_EQ(Le(b, local), 0x04034B50u);
  EXPECT_EQ(Le(b, central), 0x02014B50u);
  EXPECT_EQ(Le(b, central + 42), local);
  EXPECT_EQ(std::string(b.begin() + local + 30, b.begin() + local + 47), "word/document.xml");
  EXPECT_EQ(std::string(b.begin() + central + 46, b.begin() + central + 63), "word/document.xml");
  EXPECT_EQ(std::string(b.begin() + local + 47, b.begin() + local + 60), "<w:document/>");
  EXPECT_EQ(Le(b, local + 18), 13u);
  const std::string content = "<w:document/>";
  EXPECT_EQ(Le(b, local + 14),
            crc32(0, reinterpret_cast<const Bytef*>(content.data()), content.size()));
  // Walking the local records by their sizes lands on the central directory.
  EXPECT_EQ(zip.local_header_offsets[1], 30 + 19 + 8u);
  EXPECT_EQ(zip.central_directory_offset, local + 30 + 17 + 13);
}

TEST(ZipSample, DataDescriptorsMoveSizesBehindTheData) {
  ZipSpec recipe;
  recipe.entries = {{"a.txt", "hello"}, {"b.txt", ""}};
  recipe.data_descriptors = true;
  const ZipPackage zip = BuildZipPackage(recipe);
  const auto& b = zip.bytes;
  EXPECT_EQ(Le(b, 6, 2) & 0x8, 0x8u);
  EXPECT_EQ(Le(b, 18), 0u);
  const size_t descriptor = 30 + 5 + 5;
  EXPECT_EQ(Le(b, descriptor), 0x08074B50u);
  EXPECT_EQ(Le(b, descriptor + 8), 5u);
  EXPECT_EQ(zip.local_header_offsets[1], descriptor + 16);
  EXPECT_EQ(Le(b, zip.central_header_offsets[0] + 24), 5u);

  recipe.comment = std::string(70000, 'c');
  EXPECT_THROW(BuildZipPackage(recipe), std::invalid_argument);
}

}  // namespace
}  // namespace officecarve::testimage
