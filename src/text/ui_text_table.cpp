#include "text/ui_text_table.h"

#include <array>
#include <cstddef>

#ifndef OFFICECARVE_VERSION
#define OFFICECARVE_VERSION "0.0.0"
#endif

namespace officecarve {
namespace {

constexpr std::string_view kWindowTitle = "officecarve " OFFICECARVE_VERSION;

struct Entry {
  int number;
  std::string_view text;
};

using TextColumn = std::array<std::string_view, kTextEntryCount>;

// Entries not listed stay empty. A number listed twice or outside the table makes
// the throw reachable, which turns the constant evaluation into a build error.
template <std::size_t kCount>
consteval TextColumn BuildColumn(const Entry (&entries)[kCount]) {
  TextColumn column{};
  std::array<bool, kTextEntryCount> listed{};
  for (const Entry& entry : entries) {
    if (entry.number < 0 || entry.number >= kTextEntryCount || listed[entry.number]) {
      throw "text entry number out of range or listed twice";
    }
    listed[entry.number] = true;
    column[entry.number] = entry.text;
  }
  return column;
}

// Several texts differ only by a trailing blank (5 against 41 and 50): the blank
// separates the label from the number appended by the caller, so keep it exact.
constexpr Entry kSimplifiedEntries[] = {
    {1, kWindowTitle},
    {2, "打开分区"},
    {3, "打开映像文件"},
    {4, "关闭"},
    {5, "扇区:"},
    {6, "转到"},
    {7, "文件类型:"},
    {8, "恢复文件保存到:"},
    {9, "浏览"},
    {10, "正在整理列表"},
    {11, "原文件系统:"},
    {12, "簇大小:"},
    {13, "扫描扇区范围:"},
    {14, "开始恢复"},
    {15, "备份到映像文件"},
    {16, "打开分区失败!"},
    {17, "错误"},
    {18, "扇区总数: "},
    {19, "超出有效扇区范围!"},
    {20, "请选择要恢复的文件类型!"},
    {21, "请设置恢复文件保存的路径!"},
    {22, "恢复文件保存的路径不得在源文件同一分区!"},
    {23, "扫描扇区范围无效!"},
    {24, "正在恢复文件"},
    {25, "恢复成功: "},
    {26, "已扫描: "},
    {27, "成功恢复文件 "},
    {28, "保存文件失败: "},
    {29, "恢复结束"},
    {35, "备份扇区范围无效!"},
    {36, "备份文件不能保存到源分区上!"},
    {37, "备份到映像文件"},
    {38, "正在创建映像文件..."},
    {39, "请稍等"},
    {40, "目标分区空间不足!"},
    {41, "扇区: "},
    {42, "百分比: "},
    {43, "错误: "},
    {44, "备份未完成，是否删除目标文件?"},
    {45, "提示"},
    {46, "备份结束! 有部分扇区读取失败."},
    {47, "备份完成!"},
    {48, "打开文件失败!"},
    {49, "正在搜索文件"},
    {50, "扇区: "},
    {51, "百分比: "},
    {52, "找到文件: "},
    {53, "暂停"},
    {54, "停止"},
    {55, "取消"},
    {56, "恢复文件"},
    {57, "文件列表:"},
    {58, "预览:"},
    {59, "关闭"},
    {60,
     "基本操作: 1. 选择分区; 2. 打开分区; 3. 指定保存文件夹; 4. 选择文件丢失原因; 5. 开始恢复; 6. "
     "查看文件夹."},
    {61, "错误"},
    {62, "更多功能>>"},
    {63, "获取分区参数失败"},
    {65, "进度: "},
    {66, "原因:"},
    {67, "删除或自动消失"},
    {68, "格式化"},
    {69, "重新分区"},
    {70, "未知分区类型, 不支持该选项!"},
    {77, "源盘: "},
    {78, "丢失数据的分区:"},
    {81, "查看文件夹"},
    {82, "不支持的扇区大小: "},
    {83, "无法创建映像文件: "},
    {84, "写入映像文件失败: "},
    {85, "内存不足!"},
    {86, "恢复的文档"},
    {87,
     "读取磁盘需要管理员权限: 请从应用程序菜单启动本程序(会要求输入密码), 或用 sudo 运行。"
     "打开映像文件不需要此权限。"},
    {88, "簇网格: "},
    {89, "引导扇区"},
    {90, "分区 "},
    {91, "根据 "},
    {92, " 个文件头估算"},
    {93, "用户选择"},
    {94, "单扇区 (文件头 "},
    {95, " 个)"},
    {96, "扫描时估算"},
    {97, "相位 "},
    {98, "分区之外"},
    {99, "其中已损坏: "},
    {100, "用时 "},
    {101, "剩余 "},
    {102, "写入报告失败: "},
};

constexpr Entry kTraditionalEntries[] = {
    {1, kWindowTitle},
    {2, "打開分區"},
    {3, "打開映像文件"},
    {4, "關閉"},
    {5, "扇區:"},
    {6, "轉到"},
    {7, "文件類型:"},
    {8, "恢復文件保存到:"},
    {9, "瀏覽"},
    {10, "正在整理列表"},
    {11, "原文件系統:"},
    {12, "簇大小:"},
    {13, "掃描扇區範圍:"},
    {14, "開始恢復"},
    {15, "備份到映像文件"},
    {16, "打開分區失敗!"},
    {17, "錯誤"},
    {18, "扇區總數: "},
    {19, "超出有效扇區範圍!"},
    {20, "請選擇要恢復的文件類型!"},
    {21, "請設置恢復文件保存的路徑!"},
    {22, "恢復文件保存的路徑不得在源文件同一分區!"},
    {23, "掃描扇區範圍無效!"},
    {24, "正在恢復文件"},
    {25, "恢復成功: "},
    {26, "已掃描: "},
    {27, "成功恢復文件 "},
    {28, "保存文件失敗: "},
    {29, "恢復結束"},
    {35, "備份扇區範圍無效!"},
    {36, "備份文件不能保存到源分區上!"},
    {37, "備份到映像文件"},
    {38, "正在創建映像文件..."},
    {39, "請稍等"},
    {40, "目標分區空間不足!"},
    {41, "扇區: "},
    {42, "百分比: "},
    {43, "錯誤: "},
    {44, "備份未完成，是否刪除目標文件?"},
    {45, "提示"},
    {46, "備份結束! 有部分扇區讀取失敗."},
    {47, "備份完成!"},
    {48, "打開文件失敗!"},
    {49, "正在搜索文件"},
    {50, "扇區: "},
    {51, "百分比: "},
    {52, "找到文件: "},
    {53, "暫停"},
    {54, "停止"},
    {55, "取消"},
    {56, "恢復文件"},
    {57, "文件列表:"},
    {58, "預覽:"},
    {59, "關閉"},
    {60,
     "基本操作: 1. 選擇分區; 2. 打開分區; 3. 指定保存文件夾; 4. 選擇文件丟失原因; 5. 開始恢復; 6. "
     "查看文件夾."},
    {61, "錯誤"},
    {62, "更多功能>>"},
    {63, "獲取分區參數失敗"},
    {65, "進度: "},
    {66, "原因:"},
    {67, "刪除或自動消失"},
    {68, "格式化"},
    {69, "重新分區"},
    {70, "未知分區類型, 不支持該選項!"},
    {77, "源盤: "},
    {78, "丟失數據的分區:"},
    {81, "查看文件夾"},
    {82, "不支持的扇區大小: "},
    {83, "無法創建映像文件: "},
    {84, "寫入映像文件失敗: "},
    {85, "內存不足!"},
    {86, "恢復的文檔"},
    {87,
     "讀取磁盤需要管理員權限: 請從應用程序菜單啟動本程序(會要求輸入密碼), 或用 sudo 運行。"
     "打開映像文件不需要此權限。"},
    {88, "簇網格: "},
    {89, "引導扇區"},
    {90, "分區 "},
    {91, "根據 "},
    {92, " 個文件頭估算"},
    {93, "用戶選擇"},
    {94, "單扇區 (文件頭 "},
    {95, " 個)"},
    {96, "掃描時估算"},
    {97, "相位 "},
    {98, "分區之外"},
    {99, "其中已損壞: "},
    {100, "用時 "},
    {101, "剩餘 "},
    {102, "寫入報告失敗: "},
};

constexpr Entry kEnglishEntries[] = {
    {1, kWindowTitle},
    {2, "Open Drive"},
    {3, "Open IMG file"},
    {4, "Close"},
    {5, "Sector:"},
    {6, "Goto"},
    {7, "File Type:"},
    {8, "Save files to:"},
    {9, "Browse"},
    {10, "Tidying up the list"},
    {11, "Previous file system:"},
    {12, "Cluster Size:"},
    {13, "Scan Range:"},
    {14, "Start Rescue"},
    {15, "Backup to IMG file"},
    {16, "Failed to open drive!"},
    {17, "Error"},
    {18, "Total Sectors: "},
    {19, "Invalid sector range!"},
    {20, "Please select file type to rescue!"},
    {21, "Please select folder to save file!"},
    {22, "Dest folder can't be on source drive!"},
    {23, "invalid sector range!"},
    {24, "Rescuing file"},
    {25, "Success: "},
    {26, "Scaned: "},
    {27, "Rescued file "},
    {28, "Failed save file: "},
    {29, "Finished"},
    {35, "Invalid sector range!"},
    {36, "Can't save IMG file on source drive!"},
    {37, "Backup to IMG"},
    {38, "Creating IMG file..."},
    {39, "Wait a moment"},
    {40, "No enough free space on dest drive!"},
    {41, "Sector: "},
    {42, "Percent: "},
    {43, "Error: "},
    {44, "Didn't finish, delete target file?"},
    {45, "Prompt"},
    {46, "Finished! There're some bad sectors."},
    {47, "Finished!"},
    {48, "Failed to open file!"},
    {49, "Searching file"},
    {50, "Sector: "},
    {51, "Percent: "},
    {52, "Found: "},
    {53, "Pause"},
    {54, "Stop"},
    {55, "Cancel"},
    {56, "Rescue file"},
    {57, "File list:"},
    {58, "Preview:"},
    {59, "Close"},
    {60,
     "Simple steps: 1. Select drive; 2. Open drive; 3. Select folder to store rescued files; 4. "
     "Select the reason of losing file; 5. Start rescue."},
    {61, "Error"},
    {62, "More >>"},
    {63, "Failed to get parameters"},
    {65, "Progress: "},
    {66, "Reason:"},
    {67, "Deleted or Disappeared"},
    {68, "Formatted"},
    {69, "Repartitioned"},
    {70, "Unknown file system, not support this option!"},
    {77, "Source:"},
    {78, "Lost data on drive:"},
    {81, "View Folder"},
    {82, "Unsupported sector size: "},
    {83, "Cannot create IMG file: "},
    {84, "Failed to write IMG file: "},
    {85, "Not enough memory!"},
    {86, "Recovered documents"},
    {87,
     "Reading a drive needs administrator rights: start the program from the applications "
     "menu (it asks for your password), or run it with sudo. Image files open without them."},
    {88, "Cluster grid: "},
    {89, "boot sector"},
    {90, "partition "},
    {91, "estimated from "},
    {92, " headers"},
    {93, "chosen"},
    {94, "single units ("},
    {95, " headers)"},
    {96, "estimated when scanning"},
    {97, "phase "},
    {98, "outside partitions"},
    {99, "Damaged: "},
    {100, "elapsed "},
    {101, "left "},
    {102, "Failed to write report: "},
};

constexpr TextColumn kSimplified = BuildColumn(kSimplifiedEntries);
constexpr TextColumn kTraditional = BuildColumn(kTraditionalEntries);
constexpr TextColumn kEnglish = BuildColumn(kEnglishEntries);

const TextColumn& ColumnFor(TextVariant variant) {
  switch (variant) {
    case TextVariant::SimplifiedChinese:
      return kSimplified;
    case TextVariant::TraditionalChinese:
      return kTraditional;
    case TextVariant::English:
      break;
  }
  return kEnglish;
}

}  // namespace

UiTextTable::UiTextTable(TextVariant variant) : variant_(variant) {}

std::string_view UiTextTable::Text(TextId id) const { return Text(static_cast<int>(id)); }

std::string_view UiTextTable::Text(int entry) const {
  if (entry < 0 || entry >= kTextEntryCount) return {};
  return ColumnFor(variant_)[static_cast<std::size_t>(entry)];
}

std::string_view UiTextTable::FontName() const {
  switch (variant_) {
    case TextVariant::SimplifiedChinese:
      return "宋体";
    case TextVariant::TraditionalChinese:
      return "細明體";
    case TextVariant::English:
      break;
  }
  return "Tahoma";
}

TextVariant VariantForCodePage(int code_page) {
  switch (code_page) {
    case kSimplifiedChineseCodePage:
      return TextVariant::SimplifiedChinese;
    case kTraditionalChineseCodePage:
      return TextVariant::TraditionalChinese;
    default:
      return TextVariant::English;
  }
}

}  // namespace officecarve
