#include "platform/default_folder.h"

namespace officecarve {

// A Windows copy is run from where it was unpacked, and its own folder is
// where its users look.
std::string DefaultOutputFolder(const std::string& program_folder, const std::string&) {
  std::string folder = program_folder;
  if (folder.empty() || (folder.back() != '/' && folder.back() != '\\')) folder += '/';
  return folder;
}

}  // namespace officecarve
