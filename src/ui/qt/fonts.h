#pragma once

#include <QFont>

#include "text/ui_text_table.h"

namespace officecarve::gui {

// Maps the interface fonts the windows ask for (the variant's font and the
// viewer's "Courier New") to fonts a Linux desktop has, so that Chinese
// captions render with real glyphs. Safe to call more than once.
void InstallFontSubstitutions();

// The form font of a variant: its font name at the size the windows are laid out for.
QFont InterfaceFont(const UiTextTable& texts);

// The sector viewer's fixed-width font, independent of the variant.
QFont ViewerFont();

}  // namespace officecarve::gui
