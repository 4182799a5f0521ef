#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_save.h"
#include "platform/image_file.h"
#include "platform/raw_handle.h"
#include "platform/temp_dir.h"
#include "platform/win32/text_conversion.h"
#include "platform/win32/win32_calls.h"

namespace officecarve {
namespace {

DWORD AttributesOf(const std::string& path) {
  return GetFileAttributesW(win32::Utf8ToWide(path).value().c_str());
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(Win32FileSave, ReplacesAReadOnlyHiddenFileAndLeavesAPlainOne) {
  testing::TempDir dir;
  const std::string path = dir / "FILE_AAAAAAAB.DOC";
  testing::WriteFile(path, "an older, longer copy of the document");
  ASSERT_TRUE(SetFileAttributesW(win32::Utf8ToWide(path)->c_str(),
                                 FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

  const SaveResult result = SaveFileReplacing(path, Bytes("document"));
  ASSERT_TRUE(result.ok) << OsErrorText(result.error);
  EXPECT_EQ(testing::ReadFile(path), "document");
  EXPECT_EQ(AttributesOf(path) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
}

TEST(Win32FileSave, SavesUnderANameOutsideTheAnsiCodePage) {
  testing::TempDir dir;
  const std::string folder = dir / "恢复";
  ASSERT_TRUE(std::filesystem::create_directory(*win32::Utf8ToWide(folder)));
  const std::string path = folder + "\\FILE_AAAAAAAC.DOCX";
  ASSERT_TRUE(SaveFileReplacing(path, Bytes("zip")).ok);
  EXPECT_TRUE(IsExistingDirectory(folder));
  EXPECT_EQ(std::filesystem::file_size(*win32::Utf8ToWide(path)), 3u);
}

TEST(Win32FileSave, RefusesAFolderAndRemovesAnIncompleteFile) {
  testing::TempDir dir;
  EXPECT_FALSE(SaveFileReplacing(dir.Path().string(), Bytes("x")).ok);

  win32::Win32Calls full_disk = win32::Calls();
  full_disk.write_file = [](HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) -> BOOL {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  };
  const std::string path = dir / "FILE_AAAAAAAD.XLS";
  {
    win32::ScopedWin32Calls scope(full_disk);
    const SaveResult result = SaveFileReplacing(path, Bytes("spreadsheet"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, ERROR_DISK_FULL);
  }
  EXPECT_EQ(AttributesOf(path), INVALID_FILE_ATTRIBUTES);
}

TEST(Win32ImageFile, PresizesTheFileAndWritesFromItsStart) {
  testing::TempDir dir;
  const std::string path = dir / "backup.img";
  testing::WriteFile(path, std::string(100000, 'x'));  // replaced, not appended to
  int error = 0;
  auto writer = SystemImageWriterFactory()(path, &error);
  ASSERT_NE(writer, nullptr) << OsErrorText(error);
  ASSERT_TRUE(writer->Preallocate(3 * 512, &error)) << OsErrorText(error);
  ASSERT_TRUE(writer->Write(std::vector<uint8_t>(512, 0xAB), &error));
  ASSERT_TRUE(writer->Close(&error));
  const std::string content = testing::ReadFile(path);
  ASSERT_EQ(content.size(), 3u * 512);
  EXPECT_EQ(content.substr(0, 512), std::string(512, '\xAB'));
  EXPECT_EQ(content.substr(512), std::string(1024, '\0'));
  EXPECT_TRUE(RemoveFile(path));
  EXPECT_FALSE(RemoveFile(path));
}

TEST(Win32ImageFile, ReportsADestinationWithoutRoomBeforeCopying) {
  testing::TempDir dir;
  win32::Win32Calls full_disk = win32::Calls();
  full_disk.set_end_of_file = [](HANDLE) -> BOOL {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  };
  win32::ScopedWin32Calls scope(full_disk);
  int error = 0;
  auto writer = SystemImageWriterFactory()(dir / "backup.img", &error);
  ASSERT_NE(writer, nullptr);
  EXPECT_FALSE(writer->Preallocate(int64_t{1} << 40, &error));
  EXPECT_EQ(error, ERROR_DISK_FULL);
  EXPECT_EQ(SystemImageWriterFactory()(dir.Path().string(), &error), nullptr);
}

}  // namespace
}  // namespace officecarve
