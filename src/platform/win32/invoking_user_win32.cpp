#include "platform/invoking_user.h"

namespace officecarve {

// Windows programs are not started on another user's behalf this way, and
// the output folder there is the program's own: nothing to look up.
std::optional<InvokingUser> UserNamedByElevation(const char*, const char*, const char*) {
  return std::nullopt;
}

InvokingUser InvokingUserOfThisProcess() { return {}; }

std::optional<FileOwner> OwnerForCreatedFiles() { return std::nullopt; }

std::optional<UserSessionCommand> CommandInInvokingUsersSession() { return std::nullopt; }

}  // namespace officecarve
