#include "ui/qt/dialog_provider.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>

#include "platform/invoking_user.h"

namespace officecarve::gui {
namespace {

QMessageBox::StandardButtons ButtonsFor(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::kYesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::kAbortRetryIgnore:
      return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MessageButtons::kOk:
      break;
  }
  return QMessageBox::Ok;
}

MessageAnswer AnswerFor(int button, MessageButtons buttons) {
  switch (button) {
    case QMessageBox::Yes:
      return MessageAnswer::kYes;
    case QMessageBox::No:
      return MessageAnswer::kNo;
    case QMessageBox::Abort:
      return MessageAnswer::kAbort;
    case QMessageBox::Retry:
      return MessageAnswer::kRetry;
    case QMessageBox::Ignore:
      return MessageAnswer::kIgnore;
    default:
      break;
  }
  // Closed by the window manager: the safe answer of each kind of box.
  if (buttons == MessageButtons::kYesNo) return MessageAnswer::kNo;
  if (buttons == MessageButtons::kAbortRetryIgnore) return MessageAnswer::kAbort;
  return MessageAnswer::kOk;
}

}  // namespace

QString QtDialogProvider::GetExistingDirectory(QWidget* parent, const QString& caption,
                                               const QString& start_directory) {
  return QFileDialog::getExistingDirectory(parent, caption, start_directory);
}

QString QtDialogProvider::GetOpenFileName(QWidget* parent, const QString& caption,
                                          const QString& filter) {
  QFileDialog dialog(parent, caption, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

QString QtDialogProvider::GetSaveFileName(QWidget* parent, const QString& caption,
                                          const QString& filter, const QString& default_suffix) {
  QFileDialog dialog(parent, caption, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(default_suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

MessageAnswer QtDialogProvider::ShowMessage(QWidget* parent, const Message& message,
                                            bool is_error) {
  QMessageBox box(parent);
  box.setWindowTitle(QString::fromStdString(message.caption));
  box.setText(QString::fromStdString(message.text));
  if (!message.detail.empty()) box.setInformativeText(QString::fromStdString(message.detail));
  box.setStandardButtons(ButtonsFor(message.buttons));
  if (is_error) {
    box.setIcon(QMessageBox::Critical);
  } else {
    box.setIcon(message.buttons == MessageButtons::kYesNo ? QMessageBox::Question
                                                          : QMessageBox::Information);
  }
  return AnswerFor(box.exec(), message.buttons);
}

void QtDialogProvider::OpenUrl(const QUrl& url) {
  // Run as root for a user, the folder opens in their file manager, as them:
  // a root file manager (or browser) on their desktop is nothing they want.
  if (const auto session = CommandInInvokingUsersSession()) {
    QStringList arguments;
    for (size_t i = 1; i < session->prefix.size(); ++i) {
      arguments << QString::fromStdString(session->prefix[i]);
    }
    arguments << QStringLiteral("xdg-open") << url.toString(QUrl::FullyEncoded);
    QProcess helper;
    helper.setProgram(QString::fromStdString(session->prefix.front()));
    helper.setArguments(arguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : session->environment) {
      environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    }
    helper.setProcessEnvironment(environment);
    if (helper.startDetached()) return;
  }
  QDesktopServices::openUrl(url);
}

}  // namespace officecarve::gui
