#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "core/frontend.h"
#include "source/geometry_choices.h"

namespace officecarve::cli {

// The names the command line accepts, in selector order: the position of a
// name is the item it picks.
const std::vector<std::string>& LossReasonNames();   // deleted, formatted, repartitioned
const std::vector<std::string>& FileSystemNames();   // fat, fat32, ntfs, exfat, other
const std::vector<std::string>& ClusterSizeNames();  // 0.5K .. 128K

struct GeometryChoices {
  std::optional<std::string> reason;
  std::optional<std::string> file_system;
  std::optional<std::string> cluster;
};

// Applies the choices to the opened source in the order a user would click
// them: loss reason, former file system, cluster size. False, after telling
// the user on stderr, when a file system or cluster size is given while the
// selectors are disabled (the boot sector is intact and the reason is
// "deleted"): the geometry would silently stay the probed one.
bool ApplyGeometryChoices(Application& app, Frontend& frontend, const GeometryChoices& choices,
                          GeometryControls& controls);

}  // namespace officecarve::cli
