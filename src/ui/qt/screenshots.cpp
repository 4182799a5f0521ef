// Grabs the pictures of the user guide: the main window collapsed and
// expanded with a demo image open, and the recovery window during a real
// recovery, in Simplified Chinese and in English. The window proposes its own
// output folder, as it does for a user; scripts/screenshots.sh runs this from
// an installed layout with a user's home, so that it reads like one.
//
//   officecarve-screenshots [output folder]   (default: docs/screenshots)

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "testimage/doc_samples.h"
#include "testimage/image_builder.h"
#include "ui/qt/dialog_provider.h"
#include "ui/qt/fonts.h"
#include "ui/qt/main_window.h"

namespace {

using namespace officecarve;

// Answers the open dialog with the demo image and every message with its
// first button, so the run needs nobody at the keyboard.
class DemoDialogs : public gui::DialogProvider {
 public:
  explicit DemoDialogs(QString image) : image_(std::move(image)) {}
  QString GetExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
  QString GetOpenFileName(QWidget*, const QString&, const QString&) override { return image_; }
  QString GetSaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
  MessageAnswer ShowMessage(QWidget*, const Message&, bool) override { return MessageAnswer::kOk; }
  void OpenUrl(const QUrl&) override {}

 private:
  QString image_;
};

std::vector<uint8_t> Document(const char* stream, uint32_t data_sectors) {
  testimage::CompoundFileSpec recipe;
  recipe.stream_names = {stream};
  recipe.data_sectors = data_sectors;
  return testimage::MakeCompoundFile(recipe);
}

// A small FAT32 volume holding a few documents among unrelated data.
QString BuildDemoImage(const QString& folder) {
  constexpr uint64_t kSectors = 40000;
  testimage::ImageBuilder image(kSectors);
  testimage::FatBootParams boot;
  boot.sectors_per_cluster = 8;
  boot.reserved_sectors = 32;
  boot.fat_size = 40;
  boot.root_entries = 0;
  boot.label = "DEMO";
  image.WriteFat32Boot(boot);
  const int64_t data = static_cast<int64_t>(testimage::ImageBuilder::FatFirstDataSector(boot));
  image.FillNoise(data, static_cast<int64_t>(kSectors) - 1, 7);
  const char* streams[] = {"WordDocument", "Workbook", "PowerPoint Document", "WordDocument",
                           "Workbook"};
  int64_t sector = data + 8 * 40;
  for (const char* stream : streams) {
    image.Place(sector, Document(stream, 24));
    sector += 8 * 700;
  }
  const QString path = QDir(folder).filePath(QStringLiteral("demo.img"));
  image.WriteTo(path.toStdString());
  return path;
}

bool Save(QWidget& widget, const QString& path) {
  const bool saved = widget.grab().save(path);
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

bool Shoot(TextVariant variant, const QString& suffix, const QString& image, const QString& out) {
  Application app(variant);
  QApplication::setFont(gui::InterfaceFont(app.texts));
  DemoDialogs dialogs(image);
  gui::TForm1 window(app, dialogs);
  window.show();
  window.Button10->click();
  QApplication::processEvents();
  bool ok = Save(window, out + "/main-collapsed-" + suffix + ".png");

  window.SpeedButton1->setChecked(true);
  QApplication::processEvents();
  ok = Save(window, out + "/main-expanded-" + suffix + ".png") && ok;
  window.SpeedButton1->setChecked(false);

  // The recovery window is taken once the recovery is half way through; the
  // documents go into the proposed folder, made by the first one saved.
  // The demo image is recovered in a moment; a clock that moves a step each
  // time it is read lets the window show the rate and time left it would
  // show on a real disk.
  std::chrono::steady_clock::time_point now{};
  window.EngineFrontend().SetProgressClock([&] { return now += std::chrono::milliseconds(700); });
  bool grabbed = false;
  QTimer watch;
  watch.setInterval(0);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    gui::TForm2& recovery = window.RecoveryWindow();
    if (grabbed || !recovery.isVisible()) return;
    const QString progress = recovery.Label2->text();
    const int percent = progress.section(' ', -1).chopped(1).toInt();
    if (percent < 50) return;
    grabbed = Save(recovery, out + "/progress-" + suffix + ".png");
  });
  watch.start();
  window.Button12->click();
  watch.stop();
  return ok && grabbed;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qt_app(argc, argv);
  gui::InstallFontSubstitutions();
  const QString out =
      argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(out);
  QTemporaryDir scratch;
  if (!scratch.isValid()) return 1;
  const QString image = BuildDemoImage(scratch.path());
  bool ok = Shoot(TextVariant::SimplifiedChinese, "zh", image, out);
  ok = Shoot(TextVariant::English, "en", image, out) && ok;
  return ok ? 0 : 1;
}
