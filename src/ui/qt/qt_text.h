#pragma once

#include <QString>
#include <string_view>

#include "text/ui_text_table.h"

namespace officecarve::gui {

inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// An interface text of the chosen variant.
inline QString Text(const UiTextTable& texts, TextId id) { return ToQString(texts.Text(id)); }

}  // namespace officecarve::gui
