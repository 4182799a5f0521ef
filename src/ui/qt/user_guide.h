#pragma once

#include <QString>
#include <QUrl>

namespace officecarve::gui {

// The user guide's address: the guide installed beside the program, else
// where this build installs it, else the copy in the source tree.
// application_dir is the folder of the running executable.
QUrl UserGuideUrl(const QString& application_dir);

}  // namespace officecarve::gui
