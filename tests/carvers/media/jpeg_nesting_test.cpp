#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/carvers.h"
#include "scan/header_walks.h"
#include "source/sector_source.h"
#include "testimage/memory_handle.h"

namespace officecarve {
namespace {

void PutSegment(std::vector<uint8_t>& bytes, size_t at, uint8_t marker, uint16_t length) {
  bytes[at] = 0xFF;
  bytes[at + 1] = marker;
  bytes[at + 2] = static_cast<uint8_t>(length >> 8);
  bytes[at + 3] = static_cast<uint8_t>(length);
}

// Which starts lie inside which picture's header segments must not depend on
// what was asked before: the walks kept from earlier questions are asked in
// every order, about two pictures and more starts than are kept.
TEST(JpegHeaderHolds, AnswersAlikeWhateverWasAskedBefore) {
  std::vector<uint8_t> bytes(16384, 0);
  // At 512: APP0 [514, 532), a comment [532, 1558), tables [1558, 1627), then
  // the scan. At 8192: one comment [8194, 12292).
  bytes[512] = 0xFF;
  bytes[513] = 0xD8;
  PutSegment(bytes, 514, 0xE0, 16);
  PutSegment(bytes, 532, 0xFE, 1024);
  PutSegment(bytes, 1558, 0xDB, 67);
  PutSegment(bytes, 1627, 0xDA, 12);
  bytes[8192] = 0xFF;
  bytes[8193] = 0xD8;
  PutSegment(bytes, 8194, 0xFE, 4096);
  SectorSource source;
  ASSERT_TRUE(source
                  .OpenHandle(std::make_unique<testimage::MemoryHandle>(bytes), SourceType::kImage,
                              "nest.img", "nest.img")
                  .ok);

  std::vector<std::tuple<int64_t, int64_t, bool>> cases = {
      {512, 516, false},   {512, 518, true},     {512, 531, true},   {512, 534, false},
      {512, 536, true},    {512, 1557, true},    {512, 1558, false}, {512, 1600, true},
      {512, 1627, false},  {512, 1700, false},   {512, 9000, false}, {8192, 9000, true},
      {8192, 8196, false}, {8192, 12292, false}, {0, 600, false},
  };
  // Starts that are no pictures, enough of them to make the walks kept give
  // way to new ones.
  for (int64_t outer = 2048; outer < 8192; outer += 512) cases.emplace_back(outer, 8200, false);
  auto ask_all = [&](auto order) {
    HeaderWalks walks;
    for (size_t i = 0; i < cases.size(); ++i) {
      const auto& [outer, inner, held] = cases[order(i)];
      EXPECT_EQ(JpegHeaderHolds(source, walks, outer, inner), held) << outer << " " << inner;
    }
  };
  ask_all([](size_t i) { return i; });
  ask_all([&](size_t i) { return cases.size() - 1 - i; });
  ask_all([&](size_t i) { return i % 2 == 0 ? i / 2 : cases.size() - 1 - i / 2; });
}

}  // namespace
}  // namespace officecarve
