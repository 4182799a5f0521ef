#include "text/ui_text_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace officecarve {
namespace {

constexpr TextVariant kAllVariants[] = {TextVariant::SimplifiedChinese,
                                        TextVariant::TraditionalChinese, TextVariant::English};

// Entries no window shows; every other entry must carry a text.
bool IsUnusedEntry(int entry) {
  return entry == 0 || (entry >= 30 && entry <= 34) || entry == 64 ||
         (entry >= 71 && entry <= 76) || entry == 79 || entry == 80;
}

// Splits UTF-8 text into its characters, one string per code point.
std::vector<std::string> Characters(std::string_view text) {
  std::vector<std::string> characters;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    characters.emplace_back(text.substr(i, length));
    i += length;
  }
  return characters;
}

TEST(UiTextVariantChoice, CodePagesOtherThanChineseGiveEnglishInTahoma) {
  for (int code_page : {437, 932, 1252, 0, -1}) {
    const UiTextTable table(VariantForCodePage(code_page));
    EXPECT_EQ(table.Variant(), TextVariant::English) << code_page;
    EXPECT_EQ(table.FontName(), "Tahoma");
    EXPECT_EQ(table.Text(TextId::kOpenDrive), "Open Drive");
  }
}

TEST(UiTextVariantChoice, ChineseCodePagesPickTheirScriptAndFont) {
  const UiTextTable traditional(VariantForCodePage(950));
  EXPECT_EQ(traditional.FontName(), "細明體");
  EXPECT_EQ(traditional.Text(TextId::kOpenDrive), "打開分區");
  const UiTextTable simplified(VariantForCodePage(936));
  EXPECT_EQ(simplified.FontName(), "宋体");
  EXPECT_EQ(simplified.Text(TextId::kOpenDrive), "打开分区");
}

TEST(UiTextVariantChoice, LocalesMapToTheCodePageOfTheirScript) {
  for (const char* locale : {"zh_CN.UTF-8", "zh_SG", "zh", "zh_Hans_CN", "zh-CN", "zh_CN.GB18030",
                             "zh_Hans_HK", "ZH_cn", "zh_MY"}) {
    EXPECT_EQ(CodePageForLocale(locale), 936) << locale;
  }
  for (const char* locale : {"zh_TW.Big5", "zh_HK", "zh_MO.UTF-8", "zh_Hant_TW", "zh-TW", "zh_Hant",
                             "zh_Hant_CN", "zh_HK@modifier"}) {
    EXPECT_EQ(CodePageForLocale(locale), 950) << locale;
  }
  for (const char* locale :
       {"en_US.UTF-8", "C", "POSIX", "", "ja_JP", "zhx_CN", "C.UTF-8", "_CN"}) {
    EXPECT_EQ(CodePageForLocale(locale), 437) << locale;
  }
}

// The locale picks the language only where the system has no OEM code page.
#ifndef _WIN32
class UiTextLocaleEnvironment : public ::testing::Test {
 protected:
  static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      const char* value = std::getenv(kNames[i]);
      if (value != nullptr) saved_[i] = value;
      unsetenv(kNames[i]);
    }
  }
  void TearDown() override {
    for (int i = 0; i < 3; ++i) {
      if (saved_[i]) {
        setenv(kNames[i], saved_[i]->c_str(), 1);
      } else {
        unsetenv(kNames[i]);
      }
    }
  }
  std::optional<std::string> saved_[3];
};

TEST_F(UiTextLocaleEnvironment, FirstSetAndNonEmptyVariableWins) {
  EXPECT_EQ(LocaleFromEnvironment(), "");
  setenv("LANG", "en_US.UTF-8", 1);
  EXPECT_EQ(LocaleFromEnvironment(), "en_US.UTF-8");
  setenv("LC_MESSAGES", "zh_TW.Big5", 1);
  EXPECT_EQ(LocaleFromEnvironment(), "zh_TW.Big5");
  setenv("LC_ALL", "", 1);
  EXPECT_EQ(LocaleFromEnvironment(), "zh_TW.Big5");
  setenv("LC_ALL", "zh_CN.UTF-8", 1);
  EXPECT_EQ(LocaleFromEnvironment(), "zh_CN.UTF-8");
}
#endif

TEST(UiTextTable, SectorLabelsKeepTheirOwnSpacing) {
  const UiTextTable simplified(TextVariant::SimplifiedChinese);
  EXPECT_EQ(simplified.Text(TextId::kViewerSectorLabel), "扇区:");
  EXPECT_EQ(simplified.Text(TextId::kSectorPrefix), "扇区: ");
  EXPECT_EQ(simplified.Text(TextId::kBackupSectorPrefix), "扇区: ");
  const UiTextTable traditional(TextVariant::TraditionalChinese);
  EXPECT_EQ(traditional.Text(5), "扇區:");
  EXPECT_EQ(traditional.Text(50), "扇區: ");
  const UiTextTable english(TextVariant::English);
  EXPECT_EQ(english.Text(5), "Sector:");
  EXPECT_EQ(english.Text(50), "Sector: ");
}

TEST(UiTextTable, SpotChecksMatchTheStoredTexts) {
  const UiTextTable simplified(TextVariant::SimplifiedChinese);
  EXPECT_EQ(simplified.Text(44), "备份未完成，是否删除目标文件?");
  EXPECT_EQ(simplified.Text(70), "未知分区类型, 不支持该选项!");
  EXPECT_EQ(simplified.Text(77), "源盘: ");
  EXPECT_EQ(simplified.Text(TextId::kUnsupportedSectorSize), "不支持的扇区大小: ");
  const UiTextTable traditional(TextVariant::TraditionalChinese);
  EXPECT_EQ(traditional.Text(16), "打開分區失敗!");
  EXPECT_EQ(traditional.Text(53), "暫停");
  EXPECT_EQ(traditional.Text(60),
            "基本操作: 1. 選擇分區; 2. 打開分區; 3. 指定保存文件夾; 4. 選擇文件丟失原因; "
            "5. 開始恢復; 6. 查看文件夾.");
  EXPECT_EQ(traditional.Text(TextId::kCreateImageFailed), "無法創建映像文件: ");
  EXPECT_EQ(traditional.Text(TextId::kImageWriteFailed), "寫入映像文件失敗: ");
  const UiTextTable english(TextVariant::English);
  EXPECT_EQ(english.Text(23), "invalid sector range!");
  EXPECT_EQ(english.Text(26), "Scaned: ");
  EXPECT_EQ(english.Text(77), "Source:");
  EXPECT_EQ(english.Text(59), "Close");
  for (TextVariant variant : kAllVariants) {
    EXPECT_EQ(UiTextTable(variant).Text(TextId::kWindowTitle), "officecarve " OFFICECARVE_VERSION);
  }
}

TEST(UiTextTable, UsedEntriesAreFilledAndOthersEmptyInEveryVariant) {
  for (TextVariant variant : kAllVariants) {
    const UiTextTable table(variant);
    for (int entry = 0; entry < kTextEntryCount; ++entry) {
      EXPECT_EQ(table.Text(entry).empty(), IsUnusedEntry(entry))
          << "entry " << entry << " variant " << static_cast<int>(variant);
    }
    for (int entry : {-1, kTextEntryCount, 1000, INT_MIN, INT_MAX}) {
      EXPECT_TRUE(table.Text(entry).empty()) << entry;
    }
  }
}

TEST(UiTextTable, TraditionalTextsAreCharacterForCharacterConversions) {
  // Simplified-only forms of characters that occur in the table.
  const std::string_view simplified_only =
      "开区关闭转类复浏览统扫范围备败错误总数请选择设径无结创标间删读暂丢获参进动该项盘夹预据"
      "档权员单启会输码运应从"
      "网导头户时个";
  const std::vector<std::string> forbidden = Characters(simplified_only);
  const UiTextTable simplified(TextVariant::SimplifiedChinese);
  const UiTextTable traditional(TextVariant::TraditionalChinese);
  for (int entry = 2; entry < kTextEntryCount; ++entry) {
    const std::vector<std::string> from = Characters(simplified.Text(entry));
    const std::vector<std::string> to = Characters(traditional.Text(entry));
    ASSERT_EQ(from.size(), to.size()) << "entry " << entry;
    for (std::size_t i = 0; i < to.size(); ++i) {
      // Blanks, digits and punctuation carry over unchanged.
      if (from[i].size() == 1) {
        EXPECT_EQ(to[i], from[i]) << "entry " << entry;
      }
      for (const std::string& character : forbidden) {
        EXPECT_NE(to[i], character) << "entry " << entry;
      }
    }
  }
}

}  // namespace
}  // namespace officecarve
