#include "ui/qt/qt_frontend.h"

#include <QCoreApplication>
#include <QScreen>

#include "ui/qt/qt_text.h"

namespace officecarve::gui {

void CentreOnScreen(QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

QtFrontend::QtFrontend(QWidget& main_window, StatusBar& status_bar, TForm2& recovery_window,
                       TForm3& progress_window, DialogProvider& dialogs, const UiTextTable& texts)
    : main_window_(main_window),
      status_bar_(status_bar),
      recovery_window_(recovery_window),
      progress_window_(progress_window),
      dialogs_(dialogs),
      texts_(texts) {}

QWidget& QtFrontend::Window(ProgressWindow window) const {
  if (window == ProgressWindow::kRecovery) return recovery_window_;
  return progress_window_;
}

QWidget* QtFrontend::MessageParent() const {
  for (QWidget* window : {static_cast<QWidget*>(&progress_window_),
                          static_cast<QWidget*>(&recovery_window_), &main_window_}) {
    if (window->isVisible()) return window;
  }
  return nullptr;
}

MessageAnswer QtFrontend::ShowMessage(const Message& message) {
  ++messages_shown_;
  const bool is_error = message.caption == texts_.Text(TextId::kErrorCaption) ||
                        message.caption == texts_.Text(TextId::kErrorCaption2);
  return dialogs_.ShowMessage(MessageParent(), message, is_error);
}

void QtFrontend::ShowProgressWindow(ProgressWindow window, const std::string& caption) {
  QWidget& widget = Window(window);
  if (window == ProgressWindow::kRecovery) {
    recovery_window_.Reset();
  } else {
    progress_window_.setFont(main_window_.font());
  }
  widget.setWindowTitle(QString::fromStdString(caption));
  if (!widget.isVisible()) {
    widget.show();
    CentreOnScreen(widget);
  }
  widget.raise();
  widget.activateWindow();
}

void QtFrontend::SetProgressCaption(ProgressWindow window, const std::string& caption) {
  Window(window).setWindowTitle(QString::fromStdString(caption));
}

void QtFrontend::SetProgressLabel(ProgressWindow window, int label, const std::string& text) {
  QLabel* target = window == ProgressWindow::kRecovery ? recovery_window_.Label(label)
                                                       : progress_window_.Label(label);
  if (target != nullptr) target->setText(QString::fromStdString(text));
}

void QtFrontend::CloseProgressWindow(ProgressWindow window) { Window(window).hide(); }

void QtFrontend::HideMainWindow() { main_window_.hide(); }

void QtFrontend::ShowMainWindow() {
  main_window_.show();
  main_window_.raise();
  main_window_.activateWindow();
}

void QtFrontend::SetStatusPanel(int panel, const std::string& text) {
  status_bar_.SetPanelText(panel, QString::fromStdString(text));
}

void QtFrontend::GridSettled(const std::string& summary,
                             const std::vector<std::string>& region_lines) {
  ShowGridInStatusBar(status_bar_, summary, region_lines);
}

void QtFrontend::PumpMessages() { QCoreApplication::processEvents(); }

void ShowGridInStatusBar(StatusBar& status_bar, const std::string& summary,
                         const std::vector<std::string>& region_lines) {
  QStringList lines;
  for (const std::string& line : region_lines) lines << QString::fromStdString(line);
  status_bar.SetPanelText(kGridPanel, QString::fromStdString(summary));
  status_bar.SetPanelToolTip(kGridPanel, lines.join(QLatin1Char('\n')));
}

}  // namespace officecarve::gui
