#include "verdict/printable_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace officecarve {
namespace {

TEST(PrintableName, ShowsOnlyPlainAsciiAndEscapesTheRest) {
  const std::vector<uint8_t> bytes = {'w', '/', 0x05, 0xC3, 0xA9, '\\', ' '};
  EXPECT_EQ(PrintableName(bytes), "w/\\x05\\xC3\\xA9\\x5C ");

  // "\x05Summary" and a CJK character, as UTF-16LE.
  const std::vector<uint8_t> units = {0x05, 0, 'S', 0, 'u', 0, 0x2D, 0x4E};
  EXPECT_EQ(PrintableUtf16Name(units), "\\x05Su\\u4E2D");
}

TEST(PrintableName, CutsLongNamesShort) {
  const std::vector<uint8_t> long_name(5000, 0x01);
  const std::string shown = PrintableName(long_name);
  EXPECT_LT(shown.size(), 100u);
  EXPECT_EQ(shown.substr(shown.size() - 3), "...");
}

}  // namespace
}  // namespace officecarve
