#include "platform/default_folder.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/temp_dir.h"
#include "support/scoped_environment.h"

namespace officecarve {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(IsSystemFolder, SystemTreesAndInstalledProgramFoldersButNotUserFolders) {
  struct Case {
    const char* folder;
    bool system;
  };
  const Case cases[] = {
      {"/usr/bin", true},
      {"/usr/local/bin/", true},
      {"/opt/officecarve", true},
      {"/bin", true},
      {"/sbin", true},
      {"/lib64/x", true},
      {"/libx32", true},
      {"/etc", true},
      {"/var/lib/officecarve", true},
      {"/snap/officecarve/12/usr/bin", true},
      {"/", true},
      {"/home/user/../../usr/share", true},  // judged where it really is
      {"/home/user/.local/bin", true},       // a user's own installation prefix
      {"/tmp/prefix/bin", true},
      {"/tmp/prefix/libexec", true},
      {"/home/user/officecarve-0.1", false},  // a copy unpacked in the home folder
      {"/home/user/bin-tools", false},
      {"/media/user/STICK/officecarve", false},
      {"/tmp/portable", false},
      {"/usrdata/tools", false},
      {"relative/bin-not", false},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(IsSystemFolder(test.folder), test.system) << test.folder;
  }
}

TEST(DocumentsFolderFromUserDirs, ReadsTheSettingAsTheUsersSessionWould) {
  struct Case {
    const char* text;
    std::optional<std::string> documents;
  };
  const Case cases[] = {
      {"# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
       "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n",
       "/home/u/Documents"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/文档\"", "/home/u/文档"},  // no newline at the end
      {"  XDG_DOCUMENTS_DIR=\"/srv/shared docs\"\n", "/srv/shared docs"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Papers\\\"\"\n", "/home/u/My \"Papers\""},
      {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", "/home/u"},  // switched off: the home folder
      {"XDG_DOCUMENTS_DIR=\"$HOME\"\n", "/home/u"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/A\"\nXDG_DOCUMENTS_DIR=\"$HOME/B\"\n", "/home/u/B"},
      {"XDG_DOCUMENTS_DIR=\"Documents\"\n", std::nullopt},  // relative: not allowed
      {"XDG_DOCUMENTS_DIR=\"$HOMEWORK/x\"\n", std::nullopt},
      {"XDG_DOCUMENTS_DIR=\"$HOME/unterminated\n", std::nullopt},
      {"# XDG_DOCUMENTS_DIR=\"$HOME/Commented\"\n", std::nullopt},
      {"XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(DocumentsFolderFromUserDirs(test.text, "/home/u"), test.documents) << test.text;
  }
}

TEST(ChooseDefaultOutputFolder, APortableCopyKeepsItsFolderAndAnInstalledOneUsesDocuments) {
  struct Case {
    const char* program_folder;
    bool writable;
    std::optional<std::string> documents;
    bool documents_exists;
    const char* chosen;
  };
  const Case cases[] = {
      {"/home/u/officecarve", true, "/home/u/Documents", true, "/home/u/officecarve/"},
      {"/usr/bin", true, "/home/u/Documents", true, "/home/u/Documents/Recovered documents/"},
      {"/tmp/prefix/bin", true, "/home/u/Documents", true,
       "/home/u/Documents/Recovered documents/"},
      // A read-only copy (a mounted disc image): its folder is no place to save.
      {"/media/cd/officecarve", false, "/home/u/Docs", true, "/home/u/Docs/Recovered documents/"},
      {"/usr/bin", false, std::nullopt, false, "/home/u/Recovered documents/"},
      {"/usr/bin", false, "/home/u/Documents", false, "/home/u/Recovered documents/"},
  };
  for (const Case& test : cases) {
    DefaultFolderInputs inputs;
    inputs.program_folder = test.program_folder;
    inputs.program_folder_writable = test.writable;
    inputs.home = "/home/u";
    inputs.documents = test.documents;
    inputs.documents_exists = test.documents_exists;
    inputs.folder_name = "Recovered documents";
    EXPECT_EQ(ChooseDefaultOutputFolder(inputs), test.chosen) << test.program_folder;
  }
}

// The gathering of the inputs for this process, with a made-up home.
TEST(DefaultOutputFolder, LooksInTheUsersOwnSettingsAndDocumentsFolder) {
  TempDir home;
  testing::ScopedEnvironment environment;
  environment.ClearElevation();
  environment.Set("HOME", home.Path().string());
  environment.Clear("XDG_CONFIG_HOME");
  const std::string name = "恢复的文档";

  EXPECT_EQ(DefaultOutputFolder("/usr/bin", name), home / name + "/");

  std::filesystem::create_directories(home.Path() / ".config");
  WriteFile(home / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n");
  // Named but missing: the home folder rather than a folder nobody made.
  EXPECT_EQ(DefaultOutputFolder("/usr/bin", name), home / name + "/");
  std::filesystem::create_directory(home.Path() / "文档");
  EXPECT_EQ(DefaultOutputFolder("/usr/bin", name), home / ("文档/" + name) + "/");

  std::filesystem::create_directories(home.Path() / "elsewhere");
  WriteFile(home / "elsewhere/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME\"\n");
  environment.Set("XDG_CONFIG_HOME", home / "elsewhere");
  EXPECT_EQ(DefaultOutputFolder("/usr/bin", name), home / name + "/");

  // A copy unpacked into a writable folder keeps its own folder.
  std::filesystem::create_directory(home.Path() / "portable");
  EXPECT_EQ(DefaultOutputFolder(home / "portable", name), home / "portable/");
}

}  // namespace
}  // namespace officecarve
