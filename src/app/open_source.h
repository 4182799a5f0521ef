#pragma once

#include <string>

#include "app/application.h"
#include "core/frontend.h"

namespace officecarve {

// Opens a block device (or a path standing in for a drive) as the source and
// tells the user through the front end when it fails. True when open.
bool OpenVolumeAndReport(Application& app, Frontend& frontend, const std::string& path,
                         const std::string& display_name);
// Opens a raw image file as the source; reports failures the same way.
bool OpenImageAndReport(Application& app, Frontend& frontend, const std::string& path);

// The error box for a failed open: its text from the table, the OS reason as
// the second line.
Message OpenFailureMessage(const UiTextTable& texts, const OpenOutcome& outcome);

}  // namespace officecarve
