#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/frontend.h"
#include "core/scan_state.h"
#include "platform/image_file.h"
#include "source/sector_source.h"
#include "text/ui_text_table.h"

namespace officecarve {

enum class BackupResult {
  kNoSource,            // nothing open: nothing happens
  kRangeRefused,        // "备份扇区范围无效!"
  kTargetOnSource,      // "备份文件不能保存到源分区上!"
  kCreateFailed,        // the image file could not be created at all
  kNoSpace,             // "目标分区空间不足!": the file could not be sized
  kWriteFailed,         // a write failed while copying
  kCancelled,           // the user cancelled; deleted on Yes
  kFinishedWithErrors,  // unreadable sectors written as zeros
  kFinished,
};

struct BackupOutcome {
  BackupResult result = BackupResult::kNoSource;
  int64_t unreadable_sectors = 0;
  int64_t sectors_copied = 0;
  bool target_deleted = false;
};

// True when a source is open and 0 <= first <= last <= its working last sector.
bool BackupRangeIsValid(const SectorSource& source, ScanRange range);

// Steps before the save dialog: parses and checks the range fields and stores
// them as the source's scan range. Shows the range error and gives nullopt
// when they are invalid (or nothing when no source is open).
std::optional<ScanRange> CheckBackupRange(SectorSource& source, Frontend& frontend,
                                          const UiTextTable& texts, const std::string& first_text,
                                          const std::string& last_text);

// Copies the range into an image file at target_path (chosen in the save
// dialog): refuses a target on the source device, creates and pre-sizes the
// file, copies in 64 KiB blocks with a per-sector retry, writes zeros for
// unreadable sectors, honours the cancel flag (ScanState::backup_cancel) and
// asks whether to delete an unfinished file. An invalid range is refused
// with the range error before anything else. Once the target passed its
// check, the progress window and the main window return to idle on every path.
BackupOutcome RunBackup(SectorSource& source, Frontend& frontend, ScanState& state,
                        const UiTextTable& texts, ScanRange range, const std::string& target_path,
                        const ImageWriterFactory& writers);

}  // namespace officecarve
