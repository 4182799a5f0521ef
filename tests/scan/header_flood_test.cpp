// An image on which every sector is the start of some file, many of them
// declaring absurd sizes: the scan must still end, in bounded memory, and
// never hold more than the image could supply.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/carver_harness.h"
#include "support/allocation_counter.h"

namespace officecarve {
namespace {

using namespace std::string_literals;

std::string Le32(uint32_t value) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(value >> (8 * i));
  return out;
}

std::string At(size_t offset, const std::string& first, const std::string& later) {
  std::string out = first;
  out.resize(offset, '\0');
  return out + later;
}

// The first bytes of one file of each kind, sizes chosen to be as greedy as
// their fields allow.
std::vector<std::string> Headers() {
  const std::string asf_header =
      "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"s;
  const std::string asf_properties =
      "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65"s;
  std::string m2ts(392, '\0');
  m2ts[4] = m2ts[196] = m2ts[388] = 0x47;
  return {
      "\xFF\xD8\xFF\xE0\x00\x10JFIF"s,
      "\xFF\xD8\xFF\xDB\xFF\xFF"s,
      "\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR"s,
      "BM"s + Le32(100 * 1024 * 1024) + "\0\0\0\0"s,
      "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"s,
      "RIFF"s + Le32(0xFFFFFFF0) + "AVI "s,
      "RIFF"s + Le32(0x7FFFFFFF) + "WAVE"s,
      "RIFF"s + Le32(1000000000) + "CDR9"s,
      At(30, "PK\x03\x04\x14\x00\x08\x00"s, "[Content_Types].xml"s),
      At(30, "PK\x03\x04\x14\x00\x08\x00"s, "mimetype"s),
      "PK\x03\x04\x14\x00\x00\x00\x00\x00"s + Le32(0) + Le32(0) + Le32(0xFFFFFFFF),
      "%PDF-1.7\n"s,
      "Rar!\x1A\x07\x00\xFF\xFF\x73\x00\x80\x07\x00"s + Le32(0x7FFFFFFF),
      "MSCF\0\0\0\0"s + Le32(0xFFFFFFFF) + Le32(0x7FFFFFFF),
      "7z\xBC\xAF\x27\x1C\x00\x03"s + Le32(0) + Le32(0xFFFFFFFF) + Le32(0x7FFFFFFF) +
          Le32(0xFFFFFFFF) + Le32(0x7FFFFFFF),
      "\x00\x00\x00\x18"s + "ftypmp42"s,
      "\x00\x00\x00\x18"s + "ftyp3gp4"s,
      "FOVb"s,
      "FUJIFILMCCD-RAW "s,
      "II*\x00\x08\x00\x00\x00\xFF\xFF"s,
      "MM\x00*\x00\x00\x00\x08\xFF\xFF"s,
      asf_header + Le32(0xFFFFFFFF) + Le32(0x7FFFFFFF) + "\x06\x00\x00\x00\x01\x02"s,
      At(30, asf_header, asf_properties),
      "\x00\x00\x01\xBA\x21\x00\x01\x00\x01\x80\x00\x01"s,
      m2ts,
      "ID3\x04\x00\x00\x07\x40\x00\x00"s,
      "\x00\x00\x01\xBA\x44\x00\x04\x00\x04\x01\x01\x89\xC3\xF8\x00\x00\x01\xE0\xFF\xFF"s,
      "\x1A\x45\xDF\xA3\x87\x42\x82\x84webm\x18\x53\x80\x67\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF"s +
          "\x1F\x43\xB6\x75\x17\xFF\xFF\xFF\xE7\x81\x00"s,
  };
}

class HeaderFlood : public testing::CarverHarness {};

TEST_F(HeaderFlood, EveryUnitAHeaderStillEndsInBoundedMemory) {
  const std::vector<std::string> headers = Headers();
  constexpr int64_t kSectors = 6000;
  testimage::ImageBuilder image(kSectors);
  image.FillNoise(0, kSectors - 1, 9);
  for (int64_t sector = 0; sector < kSectors; ++sector) {
    const std::string& header = headers[static_cast<size_t>(sector) % headers.size()];
    image.Place(sector, std::vector<uint8_t>(header.begin(), header.end()));
  }
  Open(image);

  testing::AllocationCounter counter;
  const ScanReport report = ScanAll();

  std::set<int> kinds;
  for (int kind = 1; kind < 100; ++kind) {
    if (report.found_by_kind[static_cast<size_t>(kind)] > 0) kinds.insert(kind);
  }
  EXPECT_GE(kinds.size(), 20u) << "the flood should hold most kinds";
  // No carver may size a buffer from a field. The largest block is the
  // candidate list's first step of a million sectors (8 MB).
  EXPECT_LE(counter.LargestBytes(), 8'000'000u);
}

}  // namespace
}  // namespace officecarve
