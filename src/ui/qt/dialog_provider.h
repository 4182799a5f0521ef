#pragma once

#include <QString>
#include <QUrl>

#include "core/frontend.h"

class QWidget;

namespace officecarve::gui {

// Everything the windows ask of the user or the desktop outside their own
// controls: file dialogs, message boxes, opening a folder or an address. The
// windows go through one of these so that tests can answer without a modal
// loop and see what was asked.
class DialogProvider {
 public:
  virtual ~DialogProvider() = default;

  // Empty when the user cancelled.
  virtual QString GetExistingDirectory(QWidget* parent, const QString& caption,
                                       const QString& start_directory) = 0;
  virtual QString GetOpenFileName(QWidget* parent, const QString& caption,
                                  const QString& filter) = 0;
  // The default suffix is added when the user typed a name without one.
  virtual QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                  const QString& default_suffix) = 0;
  // is_error picks the error icon; the caption says the rest.
  virtual MessageAnswer ShowMessage(QWidget* parent, const Message& message, bool is_error) = 0;
  virtual void OpenUrl(const QUrl& url) = 0;
};

// The real thing: Qt's dialogs, QMessageBox and QDesktopServices.
class QtDialogProvider : public DialogProvider {
 public:
  QString GetExistingDirectory(QWidget* parent, const QString& caption,
                               const QString& start_directory) override;
  QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& filter) override;
  QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                          const QString& default_suffix) override;
  MessageAnswer ShowMessage(QWidget* parent, const Message& message, bool is_error) override;
  void OpenUrl(const QUrl& url) override;
};

}  // namespace officecarve::gui
