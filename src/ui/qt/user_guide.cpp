#include "ui/qt/user_guide.h"

#include <QDir>
#include <QFileInfo>

namespace officecarve::gui {

QUrl UserGuideUrl(const QString& application_dir) {
  const QString candidates[] = {
      QDir(application_dir).absoluteFilePath(QStringLiteral(OFFICECARVE_GUIDE_RELATIVE)),
      QStringLiteral(OFFICECARVE_GUIDE_INSTALLED),
  };
  for (const QString& path : candidates) {
    if (QFileInfo(path).isFile()) return QUrl::fromLocalFile(QDir::cleanPath(path));
  }
  return QUrl::fromLocalFile(QStringLiteral(OFFICECARVE_GUIDE_SOURCE));
}

}  // namespace officecarve::gui
