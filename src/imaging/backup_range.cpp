#include "imaging/backup.h"
#include "imaging/backup_messages.h"
#include "scan/parse_number.h"

namespace officecarve {

bool BackupRangeIsValid(const SectorSource& source, ScanRange range) {
  return source.IsOpen() && range.first >= 0 && range.first <= range.last &&
         range.last <= source.Working().last_sector;
}

std::optional<ScanRange> CheckBackupRange(SectorSource& source, Frontend& frontend,
                                          const UiTextTable& texts, const std::string& first_text,
                                          const std::string& last_text) {
  if (!source.IsOpen()) return std::nullopt;
  const ScanRange range{ParseSectorNumber(first_text), ParseSectorNumber(last_text)};
  source.SetRange(range);
  if (!BackupRangeIsValid(source, range)) {
    frontend.ShowMessage(BackupMessage(texts, TextId::kErrorCaption, TextId::kBackupRangeInvalid));
    return std::nullopt;
  }
  return range;
}

}  // namespace officecarve
