#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/default_folder.h"
#include "platform/file_save.h"
#include "platform/invoking_user.h"

namespace officecarve {
namespace {

// user-dirs.dirs holds a dozen lines; anything longer is not one.
constexpr std::streamsize kMaxUserDirsBytes = 64 * 1024;

std::string ReadSmallFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text(static_cast<size_t>(kMaxUserDirsBytes), '\0');
  in.read(text.data(), kMaxUserDirsBytes);
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

// Where the user keeps their settings. Under pkexec or sudo the environment
// is root's (or cleared), so the invoking user's own default is used.
std::string ConfigFolderOf(const InvokingUser& user) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (user.uid == getuid() && config != nullptr && config[0] == '/') return config;
  return user.home + "/.config";
}

}  // namespace

std::string DefaultOutputFolder(const std::string& program_folder, const std::string& folder_name) {
  DefaultFolderInputs inputs;
  inputs.program_folder = program_folder;
  inputs.program_folder_writable =
      IsExistingDirectory(program_folder) && access(program_folder.c_str(), W_OK) == 0;
  const InvokingUser user = InvokingUserOfThisProcess();
  inputs.home = user.home;
  if (!user.home.empty()) {
    inputs.documents = DocumentsFolderFromUserDirs(
        ReadSmallFile(ConfigFolderOf(user) + "/user-dirs.dirs"), user.home);
  }
  inputs.documents_exists = inputs.documents && IsExistingDirectory(*inputs.documents);
  inputs.folder_name = folder_name;
  return ChooseDefaultOutputFolder(inputs);
}

}  // namespace officecarve
