#pragma once

#include <QString>
#include <QUrl>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/qt/dialog_provider.h"

namespace officecarve::gui::testing {

// Answers the windows' dialogs from prepared values, records every message
// box and every address opened, and never runs a modal loop.
class FakeDialogs : public DialogProvider {
 public:
  struct Shown {
    Message message;
    bool is_error = false;
  };

  QString GetExistingDirectory(QWidget* parent, const QString& caption,
                               const QString& start_directory) override;
  QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& filter) override;
  QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                          const QString& default_suffix) override;
  MessageAnswer ShowMessage(QWidget* parent, const Message& message, bool is_error) override;
  void OpenUrl(const QUrl& url) override;

  // What the dialogs return; empty means the user cancelled.
  QString directory_answer;
  QString open_answer;
  QString save_answer;
  // Message answers in order; when empty, the first button (OK, Yes, Abort).
  std::deque<MessageAnswer> answers;
  // Runs inside every message box, as a user would look at it.
  std::function<void(const Message&)> on_message;

  std::vector<Shown> messages;
  std::vector<QUrl> opened_urls;
  QString directory_start;
  QString directory_caption;
  QString open_filter;
  QString save_filter;
  QString save_suffix;
  int open_dialogs = 0;
  int save_dialogs = 0;

  std::string LastText() const { return messages.empty() ? "" : messages.back().message.text; }
  std::string LastCaption() const {
    return messages.empty() ? "" : messages.back().message.caption;
  }
};

}  // namespace officecarve::gui::testing
