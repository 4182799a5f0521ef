#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace officecarve {

// A folder where the system keeps programs and their data (/usr, /opt, /etc,
// /var, /snap ... and everything below them), or the program folder of an
// installation anywhere (a folder named bin, sbin or libexec, as under a
// prefix such as ~/.local): never a place to scatter recovered files into.
bool IsSystemFolder(std::string_view folder);

// The documents folder that a user-dirs.dirs file names (XDG_DOCUMENTS_DIR=
// "$HOME/Documents" or an absolute path), with $HOME replaced by home;
// nullopt when the file does not set it or sets something else than an
// absolute path or one below $HOME.
std::optional<std::string> DocumentsFolderFromUserDirs(std::string_view file_text,
                                                       std::string_view home);

// What the choice of the default output folder looks at.
struct DefaultFolderInputs {
  std::string program_folder;
  bool program_folder_writable = false;
  // The home folder of the user the run works for (not root's under pkexec).
  std::string home;
  // Their documents folder, from their user-dirs.dirs, and whether it exists.
  std::optional<std::string> documents;
  bool documents_exists = false;
  // "Recovered documents" in the interface language.
  std::string folder_name;
};

// The output folder a new window starts with, ending in '/': the program's
// own folder when it is a writable folder that is no system folder (a copy
// unpacked somewhere); otherwise folder_name under the user's documents
// folder, or under their home folder when they have none. The folder need
// not exist yet.
std::string ChooseDefaultOutputFolder(const DefaultFolderInputs& inputs);

// The same for this process: the program folder's state, the invoking user's
// home and user-dirs.dirs. On Windows, the program's own folder.
std::string DefaultOutputFolder(const std::string& program_folder, const std::string& folder_name);

}  // namespace officecarve
