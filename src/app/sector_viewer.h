#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/frontend.h"
#include "source/sector_source.h"
#include "text/ui_text_table.h"

namespace officecarve {

// The sector viewer's state and navigation, shared by the window and tests:
// which sector is shown, its dump, and which buttons are enabled.
class SectorViewer {
 public:
  explicit SectorViewer(SectorSource& source) : source_(source) {}

  // Reads the sector directly (not through the read window) and renders it.
  // False when no source is open or the read fails: nothing changes then.
  bool ShowSector(int64_t sector);

  void First();        // "|<"
  void Previous();     // "<" and the Up key
  void Next();         // ">" and the Down key
  void Last();         // ">|"
  void PageBack();     // Page Up: ten back, not before 0
  void PageForward();  // Page Down: ten on, not past the last sector
  // "转到" and Enter: shows the typed sector, or the range error box.
  void GoTo(const std::string& text, Frontend& frontend, const UiTextTable& texts);

  // Forgets the shown sector (the source was closed).
  void Clear();

  bool HasSector() const { return has_sector_; }
  int64_t Current() const { return current_; }
  const std::vector<std::string>& Lines() const { return lines_; }
  // The dump as the memo holds it, lines joined by '\n'.
  std::string Text() const;
  bool CanGoBack() const { return has_sector_ && current_ > 0; }
  bool CanGoForward() const;

 private:
  SectorSource& source_;
  std::vector<uint8_t> buffer_;
  std::vector<std::string> lines_;
  int64_t current_ = 0;
  bool has_sector_ = false;
};

}  // namespace officecarve
