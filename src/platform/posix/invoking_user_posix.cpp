#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/invoking_user.h"
#include "platform/posix/sysfs_read.h"

namespace officecarve {
namespace {

// Room for one passwd entry; entries are a few hundred bytes, a long GECOS
// field or home path at most a few KiB.
constexpr size_t kPasswdBufferBytes = 16 * 1024;

struct PasswdEntry {
  uint32_t uid = 0;
  uint32_t gid = 0;
  std::string home;
};

std::optional<PasswdEntry> LookUpUser(uid_t uid) {
  std::vector<char> buffer(kPasswdBufferBytes);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  return PasswdEntry{static_cast<uint32_t>(found->pw_uid), static_cast<uint32_t>(found->pw_gid),
                     found->pw_dir != nullptr ? found->pw_dir : ""};
}

std::optional<uint32_t> ParseId(const char* text) {
  if (text == nullptr) return std::nullopt;
  const auto value = posix::ParseDecimal(text);
  // (uid_t)-1 means "no user" to the system calls.
  if (!value || *value >= 0xFFFFFFFFu) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

}  // namespace

std::optional<InvokingUser> UserNamedByElevation(const char* pkexec_uid, const char* sudo_uid,
                                                 const char* sudo_gid) {
  if (const auto uid = ParseId(pkexec_uid)) {
    const auto entry = LookUpUser(static_cast<uid_t>(*uid));
    if (!entry) return std::nullopt;
    return InvokingUser{entry->uid, entry->gid, entry->home};
  }
  if (const auto uid = ParseId(sudo_uid)) {
    const auto entry = LookUpUser(static_cast<uid_t>(*uid));
    if (!entry) return std::nullopt;
    // sudo says which group the user was in when they asked.
    return InvokingUser{entry->uid, ParseId(sudo_gid).value_or(entry->gid), entry->home};
  }
  return std::nullopt;
}

InvokingUser InvokingUserOfThisProcess() {
  if (geteuid() == 0) {
    if (auto user = UserNamedByElevation(std::getenv("PKEXEC_UID"), std::getenv("SUDO_UID"),
                                         std::getenv("SUDO_GID"))) {
      return *user;
    }
  }
  InvokingUser self{static_cast<uint32_t>(getuid()), static_cast<uint32_t>(getgid()), ""};
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    self.home = home;
  } else if (const auto entry = LookUpUser(getuid())) {
    self.home = entry->home;
  }
  return self;
}

std::optional<FileOwner> OwnerForCreatedFiles() {
  if (geteuid() != 0) return std::nullopt;
  const auto user = UserNamedByElevation(std::getenv("PKEXEC_UID"), std::getenv("SUDO_UID"),
                                         std::getenv("SUDO_GID"));
  // root asking for itself: nothing to hand over.
  if (!user || user->uid == 0) return std::nullopt;
  return FileOwner{user->uid, user->gid};
}

std::optional<UserSessionCommand> CommandInInvokingUsersSession() {
  if (geteuid() != 0) return std::nullopt;
  const auto user = UserNamedByElevation(std::getenv("PKEXEC_UID"), std::getenv("SUDO_UID"),
                                         std::getenv("SUDO_GID"));
  if (!user || user->uid == 0) return std::nullopt;
  const std::string uid = std::to_string(user->uid);
  UserSessionCommand command;
  command.prefix = {"setpriv", "--reuid=" + uid, "--regid=" + std::to_string(user->gid),
                    "--init-groups", "--"};
  command.environment = {{"HOME", user->home}};
  // The session's own runtime folder and message bus, where the desktop's
  // helpers look for the running file manager.
  const std::string runtime = "/run/user/" + uid;
  struct stat info {};
  if (stat(runtime.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    command.environment.emplace_back("XDG_RUNTIME_DIR", runtime);
    if (stat((runtime + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
      command.environment.emplace_back("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime + "/bus");
    }
  }
  return command;
}

}  // namespace officecarve
