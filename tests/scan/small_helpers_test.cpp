#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/find_bytes.h"
#include "scan/parse_number.h"
#include "scan/percent_text.h"
#include "scan/start_sector_code.h"

namespace officecarve {
namespace {

// Against a plain search, on bytes from small alphabets (so both ends of a
// needle match often and the whole needle now and then), for every needle
// length from one byte to past the sixteen starts examined at once, over more
// than the 128 starts examined at once, and every place the search can begin,
// up to the last start and beyond it.
TEST(FindBytes, FindsTheFirstOccurrenceFromAnyStartAsAPlainSearchDoes) {
  std::mt19937 random(11);
  for (const int alphabet : {2, 3, 26}) {
    for (size_t length = 1; length <= 20; ++length) {
      std::vector<uint8_t> bytes(300);
      for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(0xFE - random() % alphabet);
      std::string needle(length, '\0');
      for (char& c : needle) c = static_cast<char>(0xFE - random() % alphabet);
      // An occurrence at the very end too, where the last block is short.
      std::copy(needle.begin(), needle.end(), bytes.end() - static_cast<int64_t>(length));
      for (uint64_t from = 0; from <= bytes.size() + 1; ++from) {
        std::optional<uint64_t> expected;
        if (from <= bytes.size()) {
          const auto at = std::search(
              bytes.begin() + static_cast<int64_t>(from), bytes.end(), needle.begin(), needle.end(),
              [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
          if (at != bytes.end()) expected = static_cast<uint64_t>(at - bytes.begin());
        }
        ASSERT_EQ(FindBytes(bytes, from, needle), expected)
            << "alphabet " << alphabet << " length " << length << " from " << from;
      }
    }
  }
  EXPECT_EQ(FindBytes(std::vector<uint8_t>(3, 'a'), 0, "aaaa"), std::nullopt);
  EXPECT_EQ(FindBytes(std::vector<uint8_t>(3, 'a'), 0, ""), std::nullopt);
}

TEST(PercentText, ShowsTwoTruncatedDecimals) {
  EXPECT_EQ(PercentText(0, 7), "0.00%");
  EXPECT_EQ(PercentText(1, 3), "33.33%");
  EXPECT_EQ(PercentText(2, 3), "66.66%");
  EXPECT_EQ(PercentText(7, 7), "100.00%");
  EXPECT_EQ(PercentText(1, 10000), "0.01%");
  EXPECT_EQ(PercentText(5, 1000), "0.50%");
}

TEST(PercentText, StaysExactForCountsTooLargeToMultiply) {
  EXPECT_EQ(PercentText(INT64_MAX, INT64_MAX), "100.00%");
  EXPECT_EQ(PercentText(INT64_MAX / 2, INT64_MAX), "49.99%");
  EXPECT_EQ(PercentText(-INT64_MAX, INT64_MAX), "-100.00%");
  EXPECT_EQ(PercentText(INT64_MAX, 1).back(), '%');
}

TEST(PercentText, GivesZeroForAnEmptyOrNegativeTotal) {
  EXPECT_EQ(PercentText(5, 0), "0.00%");
  EXPECT_EQ(PercentText(5, -3), "0.00%");
}

TEST(PercentText, AppendsAfterALabelAlreadyInTheText) {
  std::string label = "Percent: ";
  AppendPercentText(label, 1, 4);
  EXPECT_EQ(label, "Percent: 25.00%");
}

TEST(StartSectorCode, WritesTheLowestBase26DigitsMostSignificantFirst) {
  EXPECT_EQ(StartSectorCode(8, 0), "AAAAAAAA");
  EXPECT_EQ(StartSectorCode(8, 27), "AAAAAABB");
  EXPECT_EQ(StartSectorCode(8, 208'827'064'575), "ZZZZZZZZ");  // 26^8 - 1
  EXPECT_EQ(StartSectorCode(8, 208'827'064'576), "AAAAAAAA");  // 26^8 wraps
  EXPECT_EQ(StartSectorCode(8, UINT64_MAX).size(), 8u);
  EXPECT_EQ(StartSectorCode(3, 27), "ABB");
  EXPECT_EQ(StartSectorCode(0, 27), "");
  EXPECT_EQ(StartSectorCode(-1, 27), "");
}

TEST(RecoveredFileName, CountsThe512ByteUnitsOfTheStartWhateverTheSectorSize) {
  EXPECT_EQ(RecoveredFileName(27 * 512, ".DOC"), "FILE_AAAAAABB.DOC");
  // Sector 27 of a 4,096-byte-sector source is 512-byte unit 216 = 8 x 26 + 8.
  EXPECT_EQ(RecoveredFileName(27 * 4096, ".DOC"), "FILE_AAAAAAII.DOC");
  EXPECT_EQ(RecoveredFileName(27 * 512 + 100, ".XLS"), "FILE_AAAAAABB.XLS");
}

TEST(ParseSectorNumber, AcceptsADecimalNumberWithBlanksAround) {
  EXPECT_EQ(ParseSectorNumber("0"), 0);
  EXPECT_EQ(ParseSectorNumber(" 42 "), 42);
  EXPECT_EQ(ParseSectorNumber("\t42"), 42);
  EXPECT_EQ(ParseSectorNumber("+7"), 7);
  EXPECT_EQ(ParseSectorNumber("9223372036854775807"), INT64_MAX);
}

TEST(ParseSectorNumber, GivesMinusOneForTextThatIsNotASectorNumber) {
  for (const char* text : {"abc", "", "   ", "12abc", "4 2", "0x10", "+", "1.5",
                           "9223372036854775808", "99999999999999999999999"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseSectorNumber(text), -1);
  }
}

}  // namespace
}  // namespace officecarve
