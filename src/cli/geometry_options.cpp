#include "cli/geometry_options.h"

#include <algorithm>
#include <cctype>
#include <iostream>

namespace officecarve::cli {
namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The item a name picks; -1 when it is not one of the names.
int ItemOf(const std::vector<std::string>& names, const std::string& name) {
  for (size_t item = 0; item < names.size(); ++item) {
    if (SameIgnoringCase(names[item], name)) return static_cast<int>(item);
  }
  return -1;
}

}  // namespace

const std::vector<std::string>& LossReasonNames() {
  static const std::vector<std::string> kNames = {"deleted", "formatted", "repartitioned"};
  return kNames;
}

const std::vector<std::string>& FileSystemNames() {
  static const std::vector<std::string> kNames = {"fat", "fat32", "ntfs", "exfat", "other"};
  return kNames;
}

const std::vector<std::string>& ClusterSizeNames() {
  static const std::vector<std::string> kNames = {"0.5K", "1K",  "2K",  "4K",  "8K",
                                                  "16K",  "32K", "64K", "128K"};
  return kNames;
}

bool ApplyGeometryChoices(Application& app, Frontend& frontend, const GeometryChoices& choices,
                          GeometryControls& controls) {
  if (choices.reason) {
    const int item = ItemOf(LossReasonNames(), *choices.reason);
    if (item >= 0) {
      ChooseLossReason(app.source, controls, static_cast<LossReason>(item), frontend, app.texts);
    }
  }
  if ((choices.file_system || choices.cluster) && !controls.selectors_enabled) {
    std::cerr << "The boot sector is intact and the loss reason is \"deleted\": its geometry is "
                 "used. Add --reason formatted or --reason repartitioned to choose --fs or "
                 "--cluster.\n";
    return false;
  }
  if (choices.file_system) {
    ChooseFileSystem(app.source, controls, ItemOf(FileSystemNames(), *choices.file_system));
  }
  if (choices.cluster) {
    ChooseClusterSize(app.source, controls, ItemOf(ClusterSizeNames(), *choices.cluster));
  }
  return true;
}

}  // namespace officecarve::cli
