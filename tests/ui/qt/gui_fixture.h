#pragma once

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "fake_dialogs.h"
#include "testimage/image_builder.h"
#include "ui/qt/main_window.h"

namespace officecarve::gui::testing {

// One program run: the application state, the dialogs a test answers, the
// main window with its two progress windows, and a scratch folder.
class GuiHarness {
 public:
  explicit GuiHarness(TextVariant variant = TextVariant::SimplifiedChinese);

  // Writes the image into the scratch folder and returns its path.
  QString WriteImage(const testimage::ImageBuilder& image, const QString& name = "disk.img");
  QString WriteBytes(const std::vector<uint8_t>& bytes, const QString& name);
  // Answers the open dialog with path and presses "打开映像文件".
  void OpenImage(const QString& path);
  // A fresh, empty folder for recovered files, inside the scratch folder.
  QString MakeFolder(const QString& name);
  QString Path(const QString& name) const { return scratch.filePath(name); }

  QTemporaryDir scratch;
  Application app;
  FakeDialogs dialogs;
  TForm1 window;
};

// A sample document from the test corpus; empty when it is not there.
std::vector<uint8_t> CorpusFile(const std::string& name);

// Every file name in a folder, sorted.
QStringList FilesIn(const QString& folder);

}  // namespace officecarve::gui::testing
