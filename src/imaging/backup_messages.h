#pragma once

#include <string>

#include "core/frontend.h"
#include "text/ui_text_table.h"

namespace officecarve {

// A message box of the backup: caption and text from the table, an optional
// suffix after the text (a path) and an operating-system reason (errno, 0 for
// none) as the second line.
Message BackupMessage(const UiTextTable& texts, TextId caption, TextId text,
                      const std::string& suffix = {}, int os_error = 0,
                      MessageButtons buttons = MessageButtons::kOk);

}  // namespace officecarve
