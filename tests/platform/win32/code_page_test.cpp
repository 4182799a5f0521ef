#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "platform/win32/fake_windows.h"
#include "text/ui_text_table.h"

namespace officecarve {
namespace {

UiTextTable TableForOemCodePage(UINT code_page) {
  testing::FakeWindows windows;
  windows.oem_code_page = code_page;
  return UiTextTable(VariantForCodePage(SystemCodePage()));
}

TEST(Win32CodePage, ChoosesTheTextsByTheOemCodePage) {
  const UiTextTable simplified = TableForOemCodePage(936);
  EXPECT_EQ(simplified.Variant(), TextVariant::SimplifiedChinese);
  EXPECT_EQ(simplified.Text(TextId::kOpenDriveFailed), "打开分区失败!");
  EXPECT_EQ(simplified.FontName(), "宋体");

  const UiTextTable traditional = TableForOemCodePage(950);
  EXPECT_EQ(traditional.Variant(), TextVariant::TraditionalChinese);
  EXPECT_EQ(traditional.Text(TextId::kOpenDriveFailed), "打開分區失敗!");
  EXPECT_EQ(traditional.FontName(), "細明體");

  for (const UINT other : {437u, 932u, 1252u, 65001u}) {
    const UiTextTable english = TableForOemCodePage(other);
    EXPECT_EQ(english.Variant(), TextVariant::English) << other;
    EXPECT_EQ(english.Text(TextId::kOpenDriveFailed), "Failed to open drive!") << other;
    EXPECT_EQ(english.FontName(), "Tahoma") << other;
  }
}

}  // namespace
}  // namespace officecarve
