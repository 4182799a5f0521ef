#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/carver_harness.h"
#include "scan/file_kind.h"

namespace officecarve {
namespace {

using testing::SampleDocument;

// Images where every 4 KiB block begins a header that never ends, with
// noise after it. Each candidate's work must stay small, or the scan grows
// with the square of the disk: claiming a unit shows on the progress line
// every 200 units, so the messages pumped measure the work.
constexpr size_t kBlockBytes = 4096;
constexpr size_t kBlocks = 2048;

// "ID3" declaring a tag of 15 MiB, just inside the tag limit.
std::vector<uint8_t> Id3Header() { return {'I', 'D', '3', 4, 0, 0, 0x07, 0x40, 0, 0}; }

// The EBML header of a real WebM, a segment of unknown size, and a cluster
// of 100 MiB (inside the cluster limit, past the image) that starts with
// its timestamp.
std::vector<uint8_t> MatroskaHeader() {
  std::vector<uint8_t> header = SampleDocument("clip.webm");
  header.resize(36);
  header.insert(header.end(),
                {0x18, 0x53, 0x80, 0x67, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                 0x1F, 0x43, 0xB6, 0x75, 0x16, 0x40, 0x00, 0x00, 0xE7, 0x81, 0x00});
  return header;
}

// A real MPEG-2 pack header (clock 0) and a video packet of 65,535 bytes.
std::vector<uint8_t> PackWithLongPacket() {
  std::vector<uint8_t> header = SampleDocument("clip.vob");
  header.resize(14);
  header.insert(header.end(), {0x00, 0x00, 0x01, 0xE0, 0xFF, 0xFF});
  return header;
}

struct Storm {
  const char* name;
  std::vector<uint8_t> (*header)();
  FileKind kind;
};

void PrintTo(const Storm& storm, std::ostream* out) { *out << storm.name; }

const Storm kStorms[] = {
    {"id3_tag", &Id3Header, FileKind::Id3Audio},
    {"matroska_cluster", &MatroskaHeader, FileKind::Matroska},
    {"mpeg2_packet", &PackWithLongPacket, FileKind::Mpeg2PackStart},
};

class MediaStorms : public testing::CarverHarness, public ::testing::WithParamInterface<Storm> {};

TEST_P(MediaStorms, CostEachCandidateLittle) {
  testimage::ImageBuilder image(kBlocks * kBlockBytes / 512);
  image.FillNoise(0, static_cast<int64_t>(image.SectorCount()) - 1, 3);
  const std::vector<uint8_t> header = GetParam().header();
  for (size_t block = 0; block < kBlocks; ++block) {
    std::copy(header.begin(), header.end(), image.MutableBytes().begin() + block * kBlockBytes);
  }
  Open(image);

  const ScanReport report = ScanAll();

  EXPECT_EQ(report.found_by_kind[static_cast<uint8_t>(GetParam().kind)], kBlocks);
  // The scan itself pumps a few times a candidate.
  EXPECT_LT(frontend_.pumps, static_cast<int>(8 * kBlocks));
}

INSTANTIATE_TEST_SUITE_P(EveryBlock, MediaStorms, ::testing::ValuesIn(kStorms),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace officecarve
