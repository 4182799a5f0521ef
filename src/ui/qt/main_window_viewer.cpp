#include <QKeyEvent>

#include "ui/qt/main_window.h"

namespace officecarve::gui {

void TForm1::Navigate(const std::function<void()>& move) {
  if (!app_.source.IsOpen()) return;
  move();
  ShowViewer(true);
}

void TForm1::GoTo() {
  if (!app_.source.IsOpen()) return;
  const int messages_before = frontend_->MessagesShown();
  viewer_.GoTo(Edit1->text().toStdString(), *frontend_, app_.texts);
  // A refused number leaves everything as it was, the typed text included.
  ShowViewer(frontend_->MessagesShown() == messages_before);
}

void TForm1::ShowViewer(bool update_field) {
  const bool open = app_.source.IsOpen() && viewer_.HasSector();
  const QString dump = open ? QString::fromStdString(viewer_.Text()) : QString();
  // Unchanged text keeps the memo's scroll position.
  if (Memo1->toPlainText() != dump) Memo1->setPlainText(dump);
  if (open && update_field) Edit1->setText(QString::number(viewer_.Current()));
  const bool back = open && viewer_.CanGoBack();
  const bool forward = open && viewer_.CanGoForward();
  Button3->setEnabled(back);
  Button8->setEnabled(back);
  Button4->setEnabled(forward);
  Button9->setEnabled(forward);
}

void TForm1::DisableViewer() {
  Memo1->clear();
  for (QWidget* control :
       std::initializer_list<QWidget*>{Memo1, Edit1, Button3, Button4, Button5, Button8, Button9}) {
    control->setEnabled(false);
  }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Edit1 && event->type() == QEvent::KeyPress) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Up:
        Navigate([this] { viewer_.Previous(); });
        break;
      case Qt::Key_Down:
        Navigate([this] { viewer_.Next(); });
        break;
      case Qt::Key_PageUp:
        Navigate([this] { viewer_.PageBack(); });
        break;
      case Qt::Key_PageDown:
        Navigate([this] { viewer_.PageForward(); });
        break;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        GoTo();
        break;
      default:
        break;
    }
  }
  // The keys still reach the field.
  return QWidget::eventFilter(watched, event);
}

}  // namespace officecarve::gui
