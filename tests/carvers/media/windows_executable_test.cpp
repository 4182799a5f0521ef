#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/media/foreign_file_cases.h"
#include "testimage/little_endian.h"

namespace officecarve {
namespace {

using testimage::GetU32;
using testimage::PutU16;
using testimage::PutU32;
using testing::ForeignSample;

constexpr ForeignSample kPrograms[] = {
    {"hello.exe", "minutes.docx"},  // ends with its last section
    {"plugin.dll", "letter.doc"},
    {"signed.exe", "ledger.xlsx"},      // ends with its certificate table
    {"symbols.exe", "newsletter.doc"},  // ends with its symbols' string table
};

using RealPrograms = testing::ForeignSampleCases;

TEST_P(RealPrograms, AreBoundedExactly) { ExpectBoundExactly(&CarveWindowsExecutable); }

INSTANTIATE_TEST_SUITE_P(RealFiles, RealPrograms,
                         ::testing::Combine(::testing::ValuesIn(kPrograms),
                                            ::testing::ValuesIn(testing::kShifts)),
                         testing::SampleCaseName());

auto Set16(size_t at, uint16_t value) {
  return [=](std::vector<uint8_t>& file) { PutU16(file, at, value); };
}
auto Set32(size_t at, uint32_t value) {
  return [=](std::vector<uint8_t>& file) { PutU32(file, at, value); };
}
auto Add32(size_t at, uint32_t value) {
  return [=](std::vector<uint8_t>& file) { PutU32(file, at, GetU32(file, at) + value); };
}

using SpoiledPrograms = testing::SpoiledFileCases;

// In all four the signature is at 0x80: machine at 0x84, section count at
// 0x86, symbol table at 0x8C, characteristics at 0x96, the optional header
// from 0x98 (section alignment at 184, file alignment at 188, certificate
// table's entry at 296), the first section's raw data pointer at 412.
// symbols.exe keeps its string table's size at 32722.
TEST_P(SpoiledPrograms, ClaimNothing) {
  ExpectEachClaimsNothing(
      &CarveWindowsExecutable,
      {
          {"the range ends before the last section does", "hello.exe", nullptr, 1},
          {"the range ends before the certificate table does", "signed.exe", nullptr, 1},
          {"an unknown machine", "hello.exe", Set16(0x84, 0x1234)},
          {"no sections", "hello.exe", Set16(0x86, 0)},
          {"97 sections", "hello.exe", Set16(0x86, 97)},
          {"not an executable image", "plugin.dll", Set16(0x96, 0x222C)},
          {"an optional header of no known kind", "hello.exe", Set16(0x98, 0x10C)},
          {"a file alignment of 768 bytes", "hello.exe", Set32(188, 768)},
          {"sections aligned more finely than the file", "hello.exe", Set32(184, 256)},
          {"a section's data off the file alignment", "hello.exe", Add32(412, 0x10)},
          {"a certificate table off its 8-byte alignment", "signed.exe", Add32(296, 4)},
          {"symbols inside the headers", "symbols.exe", Set32(0x8C, 0x100)},
          {"a string table shorter than its size field", "symbols.exe", Set32(32722, 2)},
          {"a string table running past the range", "symbols.exe", Set32(32722, 1u << 24)},
      });
}

INSTANTIATE_TEST_SUITE_P(AtStartAndShifted, SpoiledPrograms, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
