// Storm blocks of the archives, documents, databases and programs.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

#include "testimage/storm_writers.h"

namespace officecarve::testimage::storm {
namespace {

using namespace std::string_view_literals;

constexpr uint16_t kDescriptorFlag = 0x0008;
constexpr size_t kLocalFixedBytes = 30;
constexpr std::string_view kOpenDocumentText = "application/vnd.oasis.opendocument.text"sv;

// A stored local header at `at` whose record is `record_bytes` long (30
// fixed bytes, the name and the data). Returns where the record ends.
size_t PutLocalHeader(std::span<uint8_t> block, size_t at, std::string_view name,
                      uint64_t record_bytes, uint16_t flags = 0) {
  const uint32_t data = flags & kDescriptorFlag
                            ? 0
                            : Clamp32(record_bytes - kLocalFixedBytes - name.size(), 0xFFFFFFFF);
  PutText(block, at, "PK\x03\x04\x14\x00"sv);
  PutU16(block, at + 6, flags);
  PutU16(block, at + 8, 0);
  PutU16(block, at + 10, 0x6000);
  PutU16(block, at + 12, 0x5021);
  PutU32(block, at + 14, 0x12345678);
  PutU32(block, at + 18, data);
  PutU32(block, at + 22, data);
  PutU16(block, at + 26, static_cast<uint16_t>(name.size()));
  PutU16(block, at + 28, 0);
  PutText(block, at + kLocalFixedBytes, name);
  return at + record_bytes;
}

// The first entry of an OpenDocument package, its stored "mimetype";
// returns where the next record starts.
size_t PutMimetypeEntry(std::span<uint8_t> block) {
  const size_t record = kLocalFixedBytes + 8 + kOpenDocumentText.size();
  PutLocalHeader(block, 0, "mimetype"sv, record);
  PutText(block, kLocalFixedBytes + 8, kOpenDocumentText);
  return record;
}

// A compound-file header of 512-byte sectors, its directory at sector 0,
// no mini stream and no table sectors yet.
void PutCompoundHeader(std::span<uint8_t> block) {
  PutText(block, 0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv);
  std::fill(block.begin() + 8, block.begin() + 24, uint8_t{0});
  PutU16(block, 24, 0x3E);
  PutU16(block, 26, 3);
  PutText(block, 28, "\xFE\xFF\x09\x00\x06\x00"sv);
  std::fill(block.begin() + 34, block.begin() + 44, uint8_t{0});
  PutU32(block, 44, 1);
  PutU32(block, 48, 0);
  PutU32(block, 52, 0);
  PutU32(block, 56, 4096);
  PutU32(block, 60, 0xFFFFFFFE);
  PutU32(block, 64, 0);
  PutU32(block, 68, 0xFFFFFFFE);
  PutU32(block, 72, 0);
  for (size_t at = 76; at < 512; at += 4) PutU32(block, at, 0xFFFFFFFF);
}

// The header's sector number of the image's end, where a table sector just
// beyond it lies, within the format's bound.
uint32_t SectorBeyond(const StormPlace& place) { return Clamp32(RestFrom(place) / 512, 409'598); }

}  // namespace

// Stored entries one block long: each next record is the next block's local
// header, and no central directory ever comes.
void ZipChain(std::span<uint8_t> block, const StormPlace& place) {
  PutLocalHeader(block, 0, "storm/a.txt"sv, place.block_bytes);
}

// An entry whose sizes follow its data: the descriptor is searched for over
// every byte the format allows, and none is there.
void ZipDescriptor(std::span<uint8_t> block, const StormPlace&) {
  PutLocalHeader(block, 0, "storm/a.txt"sv, 0, kDescriptorFlag);
}

// An entry whose data ends beyond the image, passed unit by unit.
void ZipFarEntry(std::span<uint8_t> block, const StormPlace& place) {
  PutLocalHeader(block, 0, "storm/a.txt"sv, RestFrom(place) + place.block_bytes);
}

void ZippedCdrChain(std::span<uint8_t> block, const StormPlace& place) {
  PutLocalHeader(block, 0, "content/riffData.cdr"sv, place.block_bytes);
}

void ZippedXmlChain(std::span<uint8_t> block, const StormPlace& place) {
  PutLocalHeader(block, 0, "[Content_Types].xml"sv, place.block_bytes);
}

void ZippedXmlDescriptor(std::span<uint8_t> block, const StormPlace&) {
  PutLocalHeader(block, 0, "[Content_Types].xml"sv, 0, kDescriptorFlag);
}

void OpenDocumentChain(std::span<uint8_t> block, const StormPlace& place) {
  const size_t second = PutMimetypeEntry(block);
  PutLocalHeader(block, second, "content.xml"sv, place.block_bytes - second);
}

void OpenDocumentDescriptor(std::span<uint8_t> block, const StormPlace&) {
  const size_t second = PutMimetypeEntry(block);
  PutLocalHeader(block, second, "content.xml"sv, 0, kDescriptorFlag);
}

// The one allocation table sector lies just beyond the image.
void CompoundFarFat(std::span<uint8_t> block, const StormPlace& place) {
  PutCompoundHeader(block);
  PutU32(block, 76, SectorBeyond(place));
}

// The first sector of the table of table sectors lies just beyond the image.
void CompoundFarDifat(std::span<uint8_t> block, const StormPlace& place) {
  PutCompoundHeader(block);
  PutU32(block, 68, SectorBeyond(place));
  PutU32(block, 72, 1);
}

// A document's first objects and no trailer: no "startxref", no "%%EOF".
void Pdf(std::span<uint8_t> block, const StormPlace&) {
  PutText(block, 0,
          "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
          "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n3 0 obj\n<< /Length 4 0 R "
          ">>\nstream\n"sv);
}

// Archive header blocks one block long with their packed data: each next
// block is the next block's archive header.
void RarBlockChain(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "Rar!\x1A\x07\x00"sv);
  PutText(block, 7, "\xCF\x90\x73\x00\x80\x0B\x00"sv);
  PutU32(block, 14, place.block_bytes - 11);
}

// One block whose packed data ends beyond the image, passed unit by unit.
void RarFarBlock(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "Rar!\x1A\x07\x00"sv);
  PutText(block, 7, "\xCF\x90\x73\x00\x80\x0B\x00"sv);
  PutU32(block, 14, Clamp32(RestFrom(place) + place.block_bytes, 0x7FFFFFFF - 11));
}

void Cabinet(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "MSCF\x00\x00\x00\x00"sv);
  PutU32(block, 8, Clamp32(ReachFrom(place), 0xFFFFFFFF));
  PutU32(block, 12, 0);
  PutU32(block, 16, 44);
  PutU32(block, 20, 0);
  PutText(block, 24, "\x03\x01\x01\x00\x01\x00\x00\x00"sv);
}

// The next header ends at the reach end.
void SevenZip(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "7z\xBC\xAF\x27\x1C\x00\x03"sv);
  PutU32(block, 8, 0x5A5A5A5A);
  PutU64(block, 12, ReachFrom(place) - 33);
  PutU64(block, 20, 1);
  PutU32(block, 28, 0x5A5A5A5A);
}

// 512-byte pages up to the reach end, the count trusted.
void Sqlite(std::span<uint8_t> block, const StormPlace& place) {
  PutText(block, 0, "SQLite format 3\x00"sv);
  PutBe16(block, 16, 512);
  PutText(block, 18, "\x01\x01\x00\x40\x20\x20"sv);
  PutBe32(block, 24, 1);
  PutBe32(block, 28, static_cast<uint32_t>(ReachFrom(place) / 512));
  for (size_t at = 32; at < 92; at += 4) PutBe32(block, at, 0);
  PutBe32(block, 44, 4);
  PutBe32(block, 92, 1);
  PutBe32(block, 96, 3045000);
}

// A one-section program whose symbols' string table lies at the image's
// end: the units up to it are claimed, its size (filler) is refused, and
// the claims are released again.
void Executable(std::span<uint8_t> block, const StormPlace& place) {
  constexpr size_t kPe = 0x40;
  std::fill(block.begin(), block.begin() + 0x200, uint8_t{0});
  PutText(block, 0, "MZ"sv);
  PutU32(block, 0x3C, kPe);
  PutText(block, kPe, "PE\x00\x00"sv);
  const size_t file_header = kPe + 4;
  PutU16(block, file_header, 0x014C);
  PutU16(block, file_header + 2, 1);
  PutU32(block, file_header + 8, Clamp32(RestFrom(place) - 8, 0xFFFFFFFF));
  PutU32(block, file_header + 12, 0);
  PutU16(block, file_header + 16, 0xE0);
  PutU16(block, file_header + 18, 0x0102);
  const size_t optional = file_header + 20;
  PutU16(block, optional, 0x10B);
  PutU32(block, optional + 32, 0x1000);
  PutU32(block, optional + 36, 0x200);
  PutU32(block, optional + 60, 0x200);
  PutU32(block, optional + 92, 16);
  const size_t section = optional + 0xE0;
  PutText(block, section, ".text\x00\x00\x00"sv);
  PutU32(block, section + 16, 0x200);
  PutU32(block, section + 20, 0x200);
}

}  // namespace officecarve::testimage::storm
