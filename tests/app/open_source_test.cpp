// What a user who may not read a drive is told when opening it.
#include "app/open_source.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/temp_dir.h"
#include "support/recording_frontend.h"
#endif

namespace officecarve {
namespace {

#ifndef _WIN32
// The error box a user without the right to read path sees when opening it as
// a drive (or as an image), as caption, text and detail on separate lines.
// The open runs in a child that is not root, so that the refusal is real.
std::string RefusedOpenMessage(TextVariant variant, const std::string& path, bool as_drive) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    Application app(variant);
    ScanState state;
    testing::RecordingFrontend frontend(state);
    const bool opened = as_drive ? OpenVolumeAndReport(app, frontend, path, path)
                                 : OpenImageAndReport(app, frontend, path);
    std::string shown = opened || frontend.messages.empty()
                            ? std::string("opened")
                            : frontend.messages[0].caption + "\n" + frontend.messages[0].text +
                                  "\n" + frontend.messages[0].detail;
    const ssize_t written = write(pipe_ends[1], shown.data(), shown.size());
    _exit(written == static_cast<ssize_t>(shown.size()) ? 0 : 3);
  }
  close(pipe_ends[1]);
  std::string shown;
  char buffer[4096];
  ssize_t got = 0;
  while ((got = read(pipe_ends[0], buffer, sizeof(buffer))) > 0) shown.append(buffer, got);
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return shown;
}

TEST(OpenFailure, ADriveTheUserMayNotReadSaysHowToGetTheRightAndAnImageDoesNot) {
  testing::TempDir dir;
  const std::string locked = dir / "locked-disk";
  testing::WriteFile(locked, std::string(4096, '\0'));
  ASSERT_EQ(chmod(locked.c_str(), 0600), 0);
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  const std::string reason = std::strerror(EACCES);

  struct Case {
    TextVariant variant;
    const char* drive_failed;
    const char* image_failed;
    const char* hint_start;
  };
  const Case cases[] = {
      {TextVariant::SimplifiedChinese, "错误\n打开分区失败!", "错误\n打开文件失败!",
       "读取磁盘需要管理员权限"},
      {TextVariant::TraditionalChinese, "錯誤\n打開分區失敗!", "錯誤\n打開文件失敗!",
       "讀取磁盤需要管理員權限"},
      {TextVariant::English, "Error\nFailed to open drive!", "Error\nFailed to open file!",
       "Reading a drive needs administrator rights"},
  };
  for (const Case& test : cases) {
    const std::string drive = RefusedOpenMessage(test.variant, locked, true);
    EXPECT_EQ(
        drive.rfind(std::string(test.drive_failed) + "\n" + reason + "\n" + test.hint_start, 0), 0u)
        << drive;
    EXPECT_EQ(RefusedOpenMessage(test.variant, locked, false),
              std::string(test.image_failed) + "\n" + reason);
  }
  // A drive that is missing, not forbidden, gets no advice about rights.
  EXPECT_EQ(RefusedOpenMessage(TextVariant::English, dir / "gone", true),
            "Error\nFailed to open drive!\n" + std::string(std::strerror(ENOENT)));
}
#endif

}  // namespace
}  // namespace officecarve
