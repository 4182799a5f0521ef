#pragma once

#include "core/scan_state.h"
#include "source/sector_source.h"
#include "text/ui_text_table.h"

namespace officecarve {

// The process-wide state of one program run: the one source, the scan state
// the windows share with the engine, and the chosen interface texts. Owned by
// the front end's main function and passed by reference; tests make their own.
struct Application {
  explicit Application(TextVariant variant) : texts(variant) {}

  SectorSource source;
  ScanState state;
  UiTextTable texts;
};

}  // namespace officecarve
