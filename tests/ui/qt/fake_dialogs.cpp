#include "fake_dialogs.h"

namespace officecarve::gui::testing {

QString FakeDialogs::GetExistingDirectory(QWidget*, const QString& caption,
                                          const QString& start_directory) {
  directory_caption = caption;
  directory_start = start_directory;
  return directory_answer;
}

QString FakeDialogs::GetOpenFileName(QWidget*, const QString&, const QString& filter) {
  ++open_dialogs;
  open_filter = filter;
  return open_answer;
}

QString FakeDialogs::GetSaveFileName(QWidget*, const QString&, const QString& filter,
                                     const QString& default_suffix) {
  ++save_dialogs;
  save_filter = filter;
  save_suffix = default_suffix;
  return save_answer;
}

MessageAnswer FakeDialogs::ShowMessage(QWidget*, const Message& message, bool is_error) {
  messages.push_back({message, is_error});
  if (on_message) on_message(message);
  if (!answers.empty()) {
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  switch (message.buttons) {
    case MessageButtons::kYesNo:
      return MessageAnswer::kYes;
    case MessageButtons::kAbortRetryIgnore:
      return MessageAnswer::kAbort;
    case MessageButtons::kOk:
      break;
  }
  return MessageAnswer::kOk;
}

void FakeDialogs::OpenUrl(const QUrl& url) { opened_urls.push_back(url); }

}  // namespace officecarve::gui::testing
