// Compound files damaged in the ways a carved document can be: broken,
// looping and crossing chains, sizes that do not fit, hostile counts.
#include <gtest/gtest.h>

#include <string>

#include "testimage/doc_samples.h"
#include "verdict/verdict.h"

namespace officecarve::testing {
namespace {

using testimage::BuildCompoundFile;
using testimage::CompoundFile;
using testimage::CompoundFileSpec;

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;

// "Big" lives in its own sectors, "Small" and "Tiny" in the mini stream.
CompoundFileSpec ThreeStreams(uint16_t sector_shift = 9) {
  CompoundFileSpec recipe;
  recipe.stream_names = {"Big", "Small", "Tiny"};
  recipe.stream_sizes = {5000, 300, 100};
  recipe.sector_shift = sector_shift;
  return recipe;
}

std::string Problem(const CompoundFile& file) { return CheckCompoundFile(file.bytes).problem; }

const testimage::CompoundFileStream& Stream(const CompoundFile& file, const std::string& name) {
  for (const auto& stream : file.streams) {
    if (stream.name == name) return stream;
  }
  throw std::invalid_argument(name);
}

size_t EntryField(const CompoundFile& file, uint32_t entry, size_t field) {
  return file.DirectoryEntryOffset(entry) + field;
}

TEST(CompoundFileVerdict, WellFormedFilesOfBothSectorSizesAndWithADifatAreIntact) {
  for (const uint16_t shift : {9, 12}) {
    EXPECT_EQ(CheckCompoundFile(BuildCompoundFile(ThreeStreams(shift)).bytes).state,
              VerdictState::kIntact)
        << shift;
    CompoundFileSpec with_difat = ThreeStreams(shift);
    with_difat.use_difat = true;
    with_difat.extra_free_fat_entries = 300;
    const CompoundFile file = BuildCompoundFile(with_difat);
    EXPECT_EQ(Problem(file), "") << shift;
  }
  CompoundFileSpec many_fat_sectors;  // 110+ FAT sectors: header list and DIFAT
  many_fat_sectors.stream_names = {"Data"};
  many_fat_sectors.data_sectors = 14200;
  EXPECT_EQ(Problem(BuildCompoundFile(many_fat_sectors)), "");
}

TEST(CompoundFileVerdict, BrokenStreamChainsAreNamedWithTheStream) {
  const CompoundFile good = BuildCompoundFile(ThreeStreams());
  const auto& big = Stream(good, "Big").sectors;  // 10 sectors

  CompoundFile loop = good;
  loop.SetU32(loop.FatEntryOffset(big[5]), big[2]);
  EXPECT_EQ(Problem(loop), "stream \"Big\": chain loops back to sector " + std::to_string(big[2]));

  CompoundFile leaves = good;
  leaves.SetU32(leaves.FatEntryOffset(big[3]), 0x00100000);
  EXPECT_EQ(Problem(leaves), "stream \"Big\": sector 1048576 lies beyond the end of the file");

  CompoundFile short_chain = good;
  short_chain.SetU32(short_chain.FatEntryOffset(big[0]), kEndOfChain);
  EXPECT_EQ(Problem(short_chain), "stream \"Big\": chain ends after 1 of 10 sectors");

  CompoundFile into_free = good;
  into_free.SetU32(into_free.FatEntryOffset(big[1]), kFree);
  EXPECT_EQ(Problem(into_free), "stream \"Big\": chain runs into a free sector");

  CompoundFile smaller = good;  // 4200 bytes need 9 sectors, the chain has 10
  smaller.SetU32(EntryField(smaller, 1, 120), 4200);
  EXPECT_EQ(Problem(smaller), "stream \"Big\": chain is too long");

  CompoundFile cross = good;  // Big starts on the directory's sector
  cross.SetU32(EntryField(cross, 1, 116), good.directory_sectors[0]);
  EXPECT_EQ(Problem(cross), "stream \"Big\": sector " + std::to_string(good.directory_sectors[0]) +
                                " also belongs to directory");
}

TEST(CompoundFileVerdict, BrokenMiniChainsAndStructureChainsAreDamage) {
  const CompoundFile good = BuildCompoundFile(ThreeStreams());
  const auto& small = Stream(good, "Small").sectors;  // 5 mini sectors
  const size_t mini_fat = good.SectorOffset(good.mini_fat_sectors[0]);

  CompoundFile mini_loop = good;
  mini_loop.SetU32(mini_fat + 4 * small[4], small[0]);
  EXPECT_EQ(Problem(mini_loop),
            "stream \"Small\": chain loops back to mini sector " + std::to_string(small[0]));

  CompoundFile mini_beyond = good;
  mini_beyond.SetU32(mini_fat + 4 * small[1], 5000);
  EXPECT_EQ(Problem(mini_beyond),
            "stream \"Small\": mini sector 5000 lies beyond the end of the mini stream");

  CompoundFile shared = good;  // Tiny starts inside Small
  shared.SetU32(EntryField(shared, 3, 116), small[2]);
  EXPECT_EQ(Problem(shared), "stream \"Tiny\": mini sector " + std::to_string(small[2]) +
                                 " also belongs to stream \"Small\"");

  CompoundFile directory_loop = good;
  const uint32_t directory = good.directory_sectors[0];
  directory_loop.SetU32(directory_loop.FatEntryOffset(directory), directory);
  EXPECT_EQ(Problem(directory_loop),
            "directory: chain loops back to sector " + std::to_string(directory));

  CompoundFile mini_fat_gone = good;
  mini_fat_gone.SetU32(CompoundFile::kFirstMiniFatSectorOffset, 0x7FFFFFFF);
  EXPECT_EQ(Problem(mini_fat_gone), "mini FAT: sector 2147483647 lies beyond the end of the file");

  CompoundFile mini_stream_short = good;
  mini_stream_short.SetU32(EntryField(mini_stream_short, 0, 120), 64);
  EXPECT_EQ(Problem(mini_stream_short),
            "stream \"Small\": its size needs more than the mini stream holds");
}

TEST(CompoundFileVerdict, HostileCountsAndSizesAreRefusedWithoutWalkingThem) {
  const CompoundFile good = BuildCompoundFile(ThreeStreams());

  CompoundFile fat_count = good;
  fat_count.SetU32(CompoundFile::kFatSectorCountOffset, 0xFFFFFFFF);
  EXPECT_EQ(Problem(fat_count),
            "the header counts 4294967295 FAT sectors, more than the file holds");

  CompoundFile mini_fat_count = good;
  mini_fat_count.SetU32(64, 0xFFFFFFF0);
  EXPECT_EQ(Problem(mini_fat_count),
            "the header counts 4294967280 mini FAT sectors, more than the file holds");

  CompoundFile huge_stream = good;
  huge_stream.SetU32(EntryField(huge_stream, 1, 120), 0xFFFFFFFF);
  EXPECT_EQ(Problem(huge_stream),
            "stream \"Big\": its size of 4294967295 bytes needs more sectors than the file holds");

  CompoundFile huge_root = good;
  huge_root.SetU32(EntryField(huge_root, 0, 120), 0xFFFFFF00);
  EXPECT_EQ(Problem(huge_root), "mini stream: its size needs more sectors than the file holds");

  // 4096-byte sectors carry 64-bit sizes.
  CompoundFile wide = BuildCompoundFile(ThreeStreams(12));
  wide.SetU32(EntryField(wide, 1, 124), 0x80000000);
  EXPECT_NE(Problem(wide).find("needs more sectors than the file holds"), std::string::npos);

  // A second FAT sector is owed, and the DIFAT sector that should list it
  // lists nothing and names itself as the next one.
  CompoundFile difat_loop = good;
  const uint32_t spare = good.mini_stream_sectors[0];
  difat_loop.SetU32(CompoundFile::kFatSectorCountOffset, 2);
  difat_loop.SetU32(CompoundFile::kFirstDifatSectorOffset, spare);
  for (size_t slot = 0; slot < 127; ++slot) {
    difat_loop.SetU32(good.SectorOffset(spare) + 4 * slot, kFree);
  }
  difat_loop.SetU32(good.SectorOffset(spare) + 508, spare);
  EXPECT_EQ(Problem(difat_loop), "DIFAT: chain loops back to sector " + std::to_string(spare));

  CompoundFile listed_twice = good;
  listed_twice.SetU32(CompoundFile::kFatSectorCountOffset, 2);
  listed_twice.SetU32(CompoundFile::kHeaderFatListOffset + 4, good.fat_sectors[0]);
  EXPECT_EQ(Problem(listed_twice), "the FAT sector list names sector 0 twice");
}

TEST(CompoundFileVerdict, DirectoryDamageIsFound) {
  const CompoundFile good = BuildCompoundFile(ThreeStreams());

  CompoundFile cycle = good;  // entry 2's child points back at the root's child
  cycle.SetU32(EntryField(cycle, 2, 76), 2);
  EXPECT_EQ(Problem(cycle), "the directory tree reaches entry 2 twice");

  CompoundFile dangling = good;
  dangling.SetU32(EntryField(dangling, 1, 68), 9);
  EXPECT_EQ(Problem(dangling), "directory entry 1 links to entry 9, which is not in use");

  CompoundFile odd_type = good;
  odd_type.bytes[EntryField(odd_type, 3, 66)] = 7;
  EXPECT_EQ(Problem(odd_type), "directory entry 3 has unknown type 7");

  CompoundFile no_root = good;
  no_root.bytes[EntryField(no_root, 0, 66)] = 1;
  EXPECT_EQ(Problem(no_root), "the first directory entry is not the root");
}

TEST(CompoundFileVerdict, BadHeadersAndCutFilesAreDamage) {
  const CompoundFile good = BuildCompoundFile(ThreeStreams());

  CompoundFile odd_sectors = good;
  odd_sectors.bytes[30] = 10;
  EXPECT_EQ(Problem(odd_sectors), "the header's sector shift 10 is neither 9 nor 12");

  std::vector<uint8_t> header_only(good.bytes.begin(), good.bytes.begin() + 300);
  EXPECT_EQ(CheckCompoundFile(header_only).problem, "too short for a compound-file header");

  const CompoundFile wide = BuildCompoundFile(ThreeStreams(12));
  std::vector<uint8_t> inside_header(wide.bytes.begin(), wide.bytes.begin() + 2048);
  EXPECT_EQ(CheckCompoundFile(inside_header).problem, "the file ends inside its header sector");
}

}  // namespace
}  // namespace officecarve::testing
