// ZIP packages damaged in the ways a carved package can be, and the ZIP
// features the check refuses rather than passes unread.
#include <gtest/gtest.h>

#include <string>

#include "testimage/doc_samples.h"
#include "testimage/image_builder.h"
#include "verdict/sample_layout.h"
#include "verdict/verdict.h"

namespace officecarve::testing {
namespace {

using testimage::BuildZipPackage;
using testimage::ZipPackage;
using testimage::ZipSpec;

ZipPackage TwoEntries(bool data_descriptors = false, std::string comment = "") {
  ZipSpec recipe;
  recipe.entries = {{"a.txt", std::string(700, 'a')}, {"b.txt", "bee"}};
  recipe.comment = std::move(comment);
  recipe.data_descriptors = data_descriptors;
  return BuildZipPackage(recipe);
}

std::string Problem(const std::vector<uint8_t>& bytes) { return CheckZipPackage(bytes).problem; }

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

std::vector<uint8_t> Sample(const std::string& name) {
  return testimage::ReadFileBytes(std::string(OFFICECARVE_TEST_DATA) + "/" + name);
}

TEST(ZipPackageVerdict, StoredEntriesWithOrWithoutDescriptorsAndACommentAreIntact) {
  for (const bool descriptors : {false, true}) {
    const ZipPackage zip = TwoEntries(descriptors, "made for a test");
    EXPECT_EQ(CheckZipPackage(zip.bytes).state, VerdictState::kIntact) << Problem(zip.bytes);
  }
}

TEST(ZipPackageVerdict, ContentThatDisagreesWithTheDirectoryIsDamage) {
  const ZipPackage zip = TwoEntries();
  const size_t local = zip.local_header_offsets[0];
  const size_t central = zip.central_header_offsets[0];

  std::vector<uint8_t> crc = zip.bytes;
  crc[local + 30 + 5 + 100] = 'x';
  EXPECT_EQ(Problem(crc), "entry a.txt: CRC mismatch");

  std::vector<uint8_t> local_only = zip.bytes;
  PutSampleU32(local_only, local + 14, 1234);
  EXPECT_EQ(Problem(local_only), "entry a.txt: local header disagrees with the central directory");

  std::vector<uint8_t> renamed = zip.bytes;
  renamed[local + 30] = 'z';
  EXPECT_EQ(Problem(renamed), "entry a.txt: local header names another entry");

  const ZipPackage described = TwoEntries(true);
  std::vector<uint8_t> descriptor = described.bytes;
  const size_t descriptor_at = described.local_header_offsets[0] + 30 + 5 + 700;
  PutSampleU32(descriptor, descriptor_at + 4, 99);
  EXPECT_EQ(Problem(descriptor),
            "entry a.txt: data descriptor is missing or disagrees with the central directory");

  std::vector<uint8_t> sizes = zip.bytes;  // both headers say 600 bytes
  for (const size_t at : {local + 18, local + 22, central + 20, central + 24}) {
    PutSampleU32(sizes, at, 600);
  }
  EXPECT_EQ(Problem(sizes), "entry a.txt: CRC mismatch");
}

TEST(ZipPackageVerdict, EncryptedUnknownAndZip64EntriesAreNotPassedUnread) {
  const ZipPackage zip = TwoEntries();
  const size_t local = zip.local_header_offsets[1];
  const size_t central = zip.central_header_offsets[1];

  std::vector<uint8_t> encrypted = zip.bytes;
  Put16(encrypted, local + 6, 1);
  Put16(encrypted, central + 8, 1);
  EXPECT_EQ(Problem(encrypted), "entry b.txt is encrypted");

  std::vector<uint8_t> method = zip.bytes;
  Put16(method, local + 8, 12);
  Put16(method, central + 10, 12);
  EXPECT_EQ(Problem(method), "entry b.txt: unknown compression method 12");

  std::vector<uint8_t> zip64 = zip.bytes;
  PutSampleU32(zip64, zip.end_record_offset + 16, 0xFFFFFFFF);
  EXPECT_EQ(Problem(zip64), "ZIP64 package, not checked");

  std::vector<uint8_t> zip64_entry = zip.bytes;
  PutSampleU32(zip64_entry, central + 24, 0xFFFFFFFF);
  EXPECT_EQ(Problem(zip64_entry), "entry b.txt: ZIP64 sizes, not checked");
}

TEST(ZipPackageVerdict, MisplacedRecordsAndHostileCountsAreDamage) {
  const ZipPackage zip = TwoEntries();
  const size_t end = zip.end_record_offset;

  std::vector<uint8_t> trailing = zip.bytes;
  trailing.push_back(0);
  EXPECT_EQ(Problem(trailing), "no end-of-central-directory record at the end of the file");

  std::vector<uint8_t> counts = zip.bytes;
  Put16(counts, end + 8, 0xFFFE);
  Put16(counts, end + 10, 0xFFFE);
  EXPECT_EQ(Problem(counts), "the central directory ends after 2 of 65534 entries");

  std::vector<uint8_t> directory_size = zip.bytes;
  PutSampleU32(directory_size, end + 12, 0x7FFFFFFF);
  EXPECT_EQ(Problem(directory_size),
            "the central directory does not end where the end record begins");

  std::vector<uint8_t> far_local = zip.bytes;
  PutSampleU32(far_local, zip.central_header_offsets[1] + 42, 0x7FFFFFF0);
  EXPECT_EQ(Problem(far_local),
            "entry b.txt: its local header offset lies outside the entries' data");

  std::vector<uint8_t> no_local = zip.bytes;
  PutSampleU32(no_local, zip.central_header_offsets[1] + 42, 7);
  EXPECT_EQ(Problem(no_local), "entry b.txt: no local header at offset 7");

  // a.txt claims 720 bytes of data: its own 700 and part of b.txt's header.
  std::vector<uint8_t> overlap = zip.bytes;
  const size_t local = zip.local_header_offsets[0];
  const size_t central = zip.central_header_offsets[0];
  for (const size_t at : {local + 18, local + 22, central + 20, central + 24}) {
    PutSampleU32(overlap, at, 720);
  }
  EXPECT_EQ(Problem(overlap), "entry a.txt overlaps entry b.txt");

  const std::vector<uint8_t> short_file(zip.bytes.begin(), zip.bytes.begin() + 10);
  EXPECT_EQ(Problem(short_file), "too short for a ZIP package");
}

TEST(ZipPackageVerdict, DeflatedDataThatDoesNotUnpackToTheListedSizeIsDamage) {
  const std::vector<uint8_t> original = Sample("minutes.docx");
  ZipEntryLayout document;
  for (const ZipEntryLayout& entry : ZipEntries(original)) {
    if (entry.name == "word/document.xml") document = entry;
  }
  ASSERT_GT(document.compressed, 0u);
  const auto set_both = [&](std::vector<uint8_t>& bytes, size_t local_field, size_t central_field,
                            uint32_t value) {
    PutSampleU32(bytes, document.local_offset + local_field, value);
    PutSampleU32(bytes, document.central_offset + central_field, value);
  };

  std::vector<uint8_t> smaller = original;
  set_both(smaller, 22, 24, 100);
  EXPECT_EQ(Problem(smaller),
            "entry word/document.xml: unpacks to more than the 100 bytes the central directory "
            "lists");

  std::vector<uint8_t> larger = original;
  set_both(larger, 22, 24, 20000);
  EXPECT_EQ(Problem(larger),
            "entry word/document.xml: unpacks to 12527 bytes, the central directory lists 20000");

  std::vector<uint8_t> cut = original;
  set_both(cut, 18, 20, static_cast<uint32_t>(document.compressed / 2));
  EXPECT_EQ(Problem(cut), "entry word/document.xml: compressed data ends early");
}

}  // namespace
}  // namespace officecarve::testing
