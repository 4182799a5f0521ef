#include <QApplication>

#include "app/application.h"
#include "text/ui_text_table.h"
#include "ui/qt/dialog_provider.h"
#include "ui/qt/fonts.h"
#include "ui/qt/main_window.h"

int main(int argc, char* argv[]) {
  using namespace officecarve;
  QApplication qt_app(argc, argv);
  // Progress windows come and go while the main window is hidden; only
  // closing the main window ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  Application app(VariantForCodePage(SystemCodePage()));
  gui::InstallFontSubstitutions();
  // Message boxes and dialogs speak the variant's font too.
  QApplication::setFont(gui::InterfaceFont(app.texts));

  gui::QtDialogProvider dialogs;
  gui::TForm1 main_window(app, dialogs);
  QObject::connect(&main_window, &gui::TForm1::Closed, &qt_app, &QApplication::quit);
  main_window.show();
  return QApplication::exec();
}
