#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_owner.h"

namespace officecarve {

// The person a run works for: the process's own user, or, when it runs as
// root on someone's behalf (started through pkexec or sudo), the user who
// asked for it.
struct InvokingUser {
  uint32_t uid = 0;
  uint32_t gid = 0;
  std::string home;
};

// The user named by pkexec (PKEXEC_UID) or else by sudo (SUDO_UID, with
// SUDO_GID as the group when it is a number), looked up in the user database.
// nullopt when neither names a known user. The variables' values are taken
// as arguments (null when unset) so that tests need not touch the environment.
std::optional<InvokingUser> UserNamedByElevation(const char* pkexec_uid, const char* sudo_uid,
                                                 const char* sudo_gid);

// Who this run works for: the user named by pkexec or sudo while the process
// runs as root, otherwise the process's own user with its HOME.
InvokingUser InvokingUserOfThisProcess();

// The user named by pkexec or sudo while the process runs as root for them,
// so that the folders, documents and reports it makes are theirs to open and
// delete; nullopt otherwise (new files keep the process's owner). Always
// nullopt on Windows.
std::optional<FileOwner> OwnerForCreatedFiles();

// How to start a desktop helper (the file manager, the browser) as the user
// the program works for while it runs as root for them, so that it opens in
// their session with their rights: a command to put before the helper's and
// the environment entries to set. nullopt when running as oneself.
struct UserSessionCommand {
  std::vector<std::string> prefix;
  std::vector<std::pair<std::string, std::string>> environment;
};
std::optional<UserSessionCommand> CommandInInvokingUsersSession();

}  // namespace officecarve
