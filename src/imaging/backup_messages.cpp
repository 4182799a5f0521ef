#include "imaging/backup_messages.h"

#include "platform/raw_handle.h"

namespace officecarve {

Message BackupMessage(const UiTextTable& texts, TextId caption, TextId text,
                      const std::string& suffix, int os_error, MessageButtons buttons) {
  Message message;
  message.caption = texts.Text(caption);
  message.text = std::string(texts.Text(text)) + suffix;
  if (os_error != 0) message.detail = OsErrorText(os_error);
  message.buttons = buttons;
  return message;
}

}  // namespace officecarve
