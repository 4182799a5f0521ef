// Loaded into an installed desktop program with LD_PRELOAD: once its main
// window is up, prints the output folder the window proposes ("Edit2=...")
// and ends the program. The program itself has no switch for this; it is
// looked at from outside, as a user would look at the window.
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

// The window is shown just before the event loop starts; allow a few turns.
constexpr int kMaxTries = 200;

void ReportWhenShown(int tries_left) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() != QStringLiteral("TForm1") || !window->isVisible()) continue;
    if (const auto* folder = window->findChild<QLineEdit*>(QStringLiteral("Edit2"))) {
      std::printf("Edit2=%s\n", folder->text().toUtf8().constData());
      std::fflush(stdout);
      QCoreApplication::exit(0);
      return;
    }
  }
  if (tries_left == 0) {
    std::fprintf(stderr, "window probe: no main window appeared\n");
    QCoreApplication::exit(1);
    return;
  }
  QTimer::singleShot(10, [tries_left] { ReportWhenShown(tries_left - 1); });
}

void InstallProbe() {
  QTimer::singleShot(0, [] { ReportWhenShown(kMaxTries); });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProbe)
