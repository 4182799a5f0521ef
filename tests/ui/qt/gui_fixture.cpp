#include "gui_fixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace officecarve::gui::testing {

GuiHarness::GuiHarness(TextVariant variant) : app(variant), window(app, dialogs) {
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) qWarning("the main window was not exposed");
}

QString GuiHarness::WriteImage(const testimage::ImageBuilder& image, const QString& name) {
  const QString path = Path(name);
  image.WriteTo(path.toStdString());
  return path;
}

QString GuiHarness::WriteBytes(const std::vector<uint8_t>& bytes, const QString& name) {
  const QString path = Path(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }
  return path;
}

void GuiHarness::OpenImage(const QString& path) {
  dialogs.open_answer = path;
  QTest::mouseClick(window.Button10, Qt::LeftButton);
}

QString GuiHarness::MakeFolder(const QString& name) {
  QDir(scratch.path()).mkpath(name);
  return Path(name);
}

std::vector<uint8_t> CorpusFile(const std::string& name) {
  QFile file(QString::fromStdString(std::string(OFFICECARVE_TEST_DATA) + "/" + name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return {bytes.begin(), bytes.end()};
}

QStringList FilesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files, QDir::Name);
}

}  // namespace officecarve::gui::testing
