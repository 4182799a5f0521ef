// ZIP packages cut at cluster boundaries into fragments with data no carver
// recognises between them, put back from the bytes that hold them all.
#include "carvers/office/zip_reassembly.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/office/unknown_data.h"

namespace officecarve {
namespace {

using testing::SampleDocument;
using testing::UnknownData;
using testing::UnknownKind;

constexpr uint64_t kCluster = 4096;

// Every producer and layout at hand: descriptors or sizes up front, stored
// pictures (OpenDocument thumbnails), deflated JPEGs, large deflated sheets.
const char* const kPackages[] = {
    "minutes.docx",       "handbook.docx",    "pictured-report.docx",
    "schedule.xlsx",      "ledger.xlsx",      "stock-openpyxl.xlsx",
    "charted-sales.xlsx", "long-ledger.xlsx", "briefing.pptx",
    "workshop.pptx",      "memo.odt",         "figures.ods",
    "workshop.odp",
};

struct SplitPackage {
  std::vector<uint8_t> stream;
  uint64_t end_record = 0;
  std::vector<StreamPiece> pieces;
};

uint64_t EndRecordOf(const std::vector<uint8_t>& package) {
  for (uint64_t at = package.size() - 22;; --at) {
    if (std::memcmp(package.data() + at, "PK\x05\x06", 4) == 0) return at;
  }
}

// The package in `fragments` pieces (fewer when it has fewer clusters) at
// distinct cluster boundaries, with 1
// to 12 clusters of `kind` between each two, then a cluster of it after.
SplitPackage Split(const std::vector<uint8_t>& package, size_t fragments, UnknownKind kind,
                   std::mt19937& rng) {
  const uint64_t clusters = (package.size() + kCluster - 1) / kCluster;
  fragments = std::min<size_t>(fragments, clusters);
  std::vector<uint64_t> cuts;
  while (cuts.size() + 1 < fragments) {
    const uint64_t cut = (1 + rng() % (clusters - 1)) * kCluster;
    if (std::find(cuts.begin(), cuts.end(), cut) == cuts.end()) cuts.push_back(cut);
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.push_back(package.size());
  SplitPackage split;
  uint64_t from = 0;
  for (const uint64_t to : cuts) {
    split.pieces.push_back({split.stream.size(), to - from});
    split.stream.insert(split.stream.end(), package.begin() + static_cast<std::ptrdiff_t>(from),
                        package.begin() + static_cast<std::ptrdiff_t>(to));
    if (to < package.size()) {
      const auto gap = UnknownData(kind, (1 + rng() % 12) * kCluster, rng);
      split.stream.insert(split.stream.end(), gap.begin(), gap.end());
    }
    from = to;
  }
  split.end_record = split.pieces.back().stream_offset +
                     (EndRecordOf(package) - (package.size() - split.pieces.back().length));
  const auto after = UnknownData(kind, kCluster, rng);
  split.stream.insert(split.stream.end(), after.begin(), after.end());
  return split;
}

std::vector<uint8_t> Assemble(const std::vector<uint8_t>& stream,
                              const std::vector<StreamPiece>& pieces) {
  std::vector<uint8_t> bytes;
  for (const StreamPiece& piece : pieces) {
    bytes.insert(bytes.end(), stream.begin() + static_cast<std::ptrdiff_t>(piece.stream_offset),
                 stream.begin() + static_cast<std::ptrdiff_t>(piece.stream_offset + piece.length));
  }
  return bytes;
}

std::optional<ZipReassembly> Reassemble(const SplitPackage& split, uint64_t& work) {
  ZipReassemblyLimits limits;
  limits.unit = 512;
  return ReassembleZipStream(split.stream, split.end_record, limits, work);
}

// Whatever comes back is the package byte for byte; nearly everything does.
// Single gaps always; two or three gaps inside one entry are searched for by
// unpacking, which leaves a few out.
TEST(ZipReassembly, PutsPackagesSplitAroundUnknownDataBackByteForByte) {
  std::mt19937 rng(20261209);
  int cases = 0;
  int rebuilt = 0;
  for (const char* name : kPackages) {
    const std::vector<uint8_t> package = SampleDocument(name);
    for (const UnknownKind kind : testing::kUnknownKinds) {
      for (size_t fragments = 2; fragments <= 4; ++fragments) {
        const SplitPackage split = Split(package, fragments, kind, rng);
        uint64_t work = 1ull << 30;
        const auto result = Reassemble(split, work);
        ++cases;
        SCOPED_TRACE(std::string(name) + ", " + std::to_string(fragments) + " fragments, fill " +
                     std::to_string(static_cast<int>(kind)));
        if (fragments == 2) {
          EXPECT_TRUE(result.has_value());
        }
        if (!result) continue;
        ++rebuilt;
        EXPECT_EQ(result->pieces, split.pieces);
        EXPECT_EQ(Assemble(split.stream, result->pieces), package);
        EXPECT_EQ(result->length, package.size());
      }
    }
  }
  EXPECT_GE(rebuilt * 100, cases * 90) << rebuilt << " of " << cases;
}

// A copy of the next fragment with one byte of entry data changed lies in
// the gap where the next local header fits: the headers match, the CRC-32
// does not. The real fragment further on is taken; without it, nothing is.
TEST(ZipReassembly, TakesNoFragmentThatOnlyAlmostFits) {
  std::mt19937 rng(7);
  for (const char* name : {"minutes.docx", "memo.odt", "schedule.xlsx"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> package = SampleDocument(name);
    const uint64_t cut = 2 * kCluster;
    std::vector<uint8_t> trap(package.begin() + cut, package.end());
    trap[trap.size() / 3] ^= 0x20;
    for (const bool real_follows : {true, false}) {
      SplitPackage split;
      split.stream.assign(package.begin(), package.begin() + cut);
      const auto noise = UnknownData(UnknownKind::kText, kCluster, rng);
      split.stream.insert(split.stream.end(), noise.begin(), noise.end());
      uint64_t last_start = split.stream.size();
      split.stream.insert(split.stream.end(), trap.begin(), trap.end());
      if (real_follows) {
        split.stream.resize((split.stream.size() / kCluster + 2) * kCluster);
        last_start = split.stream.size();
        split.stream.insert(split.stream.end(), package.begin() + cut, package.end());
      }
      split.end_record = last_start + EndRecordOf(package) - cut;
      uint64_t work = 1ull << 30;
      const auto result = Reassemble(split, work);
      if (!real_follows) {
        EXPECT_FALSE(result.has_value());
        continue;
      }
      ASSERT_TRUE(result.has_value());
      EXPECT_EQ(Assemble(split.stream, result->pieces), package);
    }
  }
}

// Streams made to make the search work hard: a directory listing thousands
// of entries over a flood of local headers with their names. The search
// gives up within the work it was allowed, whatever it is.
TEST(ZipReassembly, GivesUpWithinTheWorkItIsAllowed) {
  std::vector<uint8_t> stream;
  const auto put16 = [&](uint16_t v) {
    stream.push_back(static_cast<uint8_t>(v));
    stream.push_back(static_cast<uint8_t>(v >> 8));
  };
  const auto put32 = [&](uint32_t v) {
    put16(static_cast<uint16_t>(v));
    put16(static_cast<uint16_t>(v >> 16));
  };
  constexpr uint16_t kEntries = 4000;
  for (uint16_t i = 0; i < kEntries; ++i) {
    put32(0x04034B50);
    for (int k = 0; k < 11; ++k) put16(0);
    put16(1);
    put16(0);
    stream.push_back('a');
  }
  const uint64_t directory = stream.size();
  for (uint16_t i = 0; i < kEntries; ++i) {
    put32(0x02014B50);
    for (int k = 0; k < 10; ++k) put16(0);
    put16(1);
    for (int k = 0; k < 6; ++k) put16(0);
    put32(static_cast<uint32_t>(i) * 512);
    stream.push_back('a');
  }
  const uint64_t end_record = stream.size();
  put32(0x06054B50);
  put32(0);
  put16(kEntries);
  put16(kEntries);
  put32(static_cast<uint32_t>(end_record - directory));
  put32(static_cast<uint32_t>(directory));
  put16(0);
  for (const uint64_t allowed : {uint64_t{0}, uint64_t{1} << 16, uint64_t{1} << 24}) {
    uint64_t work = allowed;
    ZipReassemblyLimits limits;
    EXPECT_FALSE(ReassembleZipStream(stream, end_record, limits, work).has_value());
    EXPECT_LE(work, allowed);
  }
}

}  // namespace
}  // namespace officecarve
