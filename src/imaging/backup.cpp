#include "imaging/backup.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/backup_messages.h"
#include "platform/same_device.h"
#include "scan/percent_text.h"

namespace officecarve {
namespace {

constexpr uint32_t kBlockBytes = 65536;
constexpr ProgressWindow kWindow = ProgressWindow::kSearchOrBackup;

// One backup from the created file to the last message.
class BackupCopy {
 public:
  BackupCopy(SectorSource& source, Frontend& frontend, ScanState& state, const UiTextTable& texts,
             ScanRange range, const std::string& target_path)
      : source_(source),
        frontend_(frontend),
        state_(state),
        texts_(texts),
        range_(range),
        target_path_(target_path),
        bytes_per_sector_(source.Working().bytes_per_sector) {}

  BackupOutcome Run(const ImageWriterFactory& writers);

 private:
  // False, with the OS error, when a write failed.
  bool CopyBlocks(ImageFileWriter& writer, int* error);
  void ReadBlock(int64_t sector, int64_t count);
  void ShowBlockLabels(int64_t sector);
  void ReportWriteFailure(int error);
  void AskToDeleteUnfinished();
  void Tell(TextId caption, TextId text, const std::string& suffix = {}, int os_error = 0) {
    frontend_.ShowMessage(BackupMessage(texts_, caption, text, suffix, os_error));
  }

  SectorSource& source_;
  Frontend& frontend_;
  ScanState& state_;
  const UiTextTable& texts_;
  const ScanRange range_;
  const std::string& target_path_;
  const uint32_t bytes_per_sector_;
  std::vector<uint8_t> block_ = std::vector<uint8_t>(kBlockBytes);
  int64_t next_sector_ = 0;
  BackupOutcome outcome_;
};

BackupOutcome BackupCopy::Run(const ImageWriterFactory& writers) {
  int error = 0;
  std::unique_ptr<ImageFileWriter> writer = writers(target_path_, &error);
  if (!writer) {
    Tell(TextId::kErrorCaption, TextId::kCreateImageFailed, target_path_, error);
    outcome_.result = BackupResult::kCreateFailed;
    return outcome_;
  }
  frontend_.PumpMessages();
  // The range lies inside the source, so its size in bytes fits.
  const uint64_t image_bytes =
      static_cast<uint64_t>(range_.last - range_.first + 1) * bytes_per_sector_;
  if (!writer->Preallocate(image_bytes, &error)) {
    Tell(TextId::kErrorCaption, TextId::kNoSpaceOnTarget, {}, error);
    writer->Close(nullptr);
    outcome_.result = BackupResult::kNoSpace;
    return outcome_;
  }
  int write_error = 0;
  const bool written = CopyBlocks(*writer, &write_error);
  outcome_.sectors_copied = next_sector_ - range_.first;
  // A close can reveal a write that did not reach the disk.
  int close_error = 0;
  const bool closed = writer->Close(&close_error);
  if (!written || !closed) {
    ReportWriteFailure(written ? close_error : write_error);
    return outcome_;
  }

  if (next_sector_ <= range_.last) {
    outcome_.result = BackupResult::kCancelled;
    AskToDeleteUnfinished();
  } else if (outcome_.unreadable_sectors > 0) {
    outcome_.result = BackupResult::kFinishedWithErrors;
    Tell(TextId::kPromptCaption, TextId::kBackupFinishedWithErrors);
  } else {
    outcome_.result = BackupResult::kFinished;
    Tell(TextId::kPromptCaption, TextId::kBackupFinished);
  }
  return outcome_;
}

bool BackupCopy::CopyBlocks(ImageFileWriter& writer, int* error) {
  const int64_t block_sectors = kBlockBytes / bytes_per_sector_;
  state_.backup_cancel = 0;
  next_sector_ = range_.first;
  while (state_.backup_cancel == 0 && next_sector_ <= range_.last) {
    // A cancel pressed here still lets this block be copied.
    ShowBlockLabels(next_sector_);
    frontend_.PumpMessages();
    const int64_t count = std::min(block_sectors, range_.last + 1 - next_sector_);
    ReadBlock(next_sector_, count);
    const size_t bytes = static_cast<size_t>(count) * bytes_per_sector_;
    if (!writer.Write(std::span<const uint8_t>(block_.data(), bytes), error)) return false;
    next_sector_ += count;
  }
  return true;
}

// The block through the read window; when any of it fails, sector by sector,
// an unreadable sector becoming zeros.
void BackupCopy::ReadBlock(int64_t sector, int64_t count) {
  const uint32_t bytes = static_cast<uint32_t>(count) * bytes_per_sector_;
  if (source_.ReadAt(block_.data(), bytes, sector * bytes_per_sector_) == 0) return;
  for (int64_t i = 0; i < count; ++i) {
    uint8_t* const slot = block_.data() + i * bytes_per_sector_;
    if (!source_.ReadSectorDirect(sector + i, slot)) {
      std::memset(slot, 0, bytes_per_sector_);
      ++outcome_.unreadable_sectors;
    }
  }
}

void BackupCopy::ShowBlockLabels(int64_t sector) {
  const int64_t errors = outcome_.unreadable_sectors;
  frontend_.SetProgressLabel(
      kWindow, 1, std::string(texts_.Text(TextId::kBackupSectorPrefix)) + std::to_string(sector));
  frontend_.SetProgressLabel(
      kWindow, 2,
      std::string(texts_.Text(TextId::kBackupPercentPrefix)) +
          PercentText(sector - range_.first, range_.last - range_.first + 1));
  frontend_.SetProgressLabel(
      kWindow, 3,
      errors > 0 ? std::string(texts_.Text(TextId::kBackupErrorPrefix)) + std::to_string(errors)
                 : std::string());
  frontend_.ReportProgress(
      kWindow, static_cast<uint64_t>(sector - range_.first) * bytes_per_sector_,
      static_cast<uint64_t>(range_.last - range_.first + 1) * bytes_per_sector_,
      static_cast<uint64_t>(errors));
}

// The image is incomplete: say why, then offer to delete it as a cancel would.
void BackupCopy::ReportWriteFailure(int error) {
  outcome_.result = BackupResult::kWriteFailed;
  Tell(TextId::kErrorCaption, TextId::kImageWriteFailed, target_path_, error);
  AskToDeleteUnfinished();
}

void BackupCopy::AskToDeleteUnfinished() {
  const Message question =
      BackupMessage(texts_, TextId::kPromptCaption, TextId::kBackupDeleteUnfinished, {}, 0,
                    MessageButtons::kYesNo);
  if (frontend_.ShowMessage(question) == MessageAnswer::kYes) {
    outcome_.target_deleted = RemoveFile(target_path_);
  }
}

}  // namespace

BackupOutcome RunBackup(SectorSource& source, Frontend& frontend, ScanState& state,
                        const UiTextTable& texts, ScanRange range, const std::string& target_path,
                        const ImageWriterFactory& writers) {
  BackupOutcome outcome;
  if (!source.IsOpen()) return outcome;
  if (!BackupRangeIsValid(source, range)) {
    frontend.ShowMessage(BackupMessage(texts, TextId::kErrorCaption, TextId::kBackupRangeInvalid));
    outcome.result = BackupResult::kRangeRefused;
    return outcome;
  }
  source.SetRange(range);
  if (TargetIsOnSourceDevice(target_path, source.Identity())) {
    frontend.ShowMessage(BackupMessage(texts, TextId::kErrorCaption, TextId::kBackupOnSourceDrive));
    outcome.result = BackupResult::kTargetOnSource;
    return outcome;
  }

  frontend.HideMainWindow();
  frontend.ShowProgressWindow(kWindow, std::string(texts.Text(TextId::kBackupCaption)));
  frontend.SetProgressLabel(kWindow, 4,
                            std::string(texts.Text(TextId::kSourcePrefix)) + source.DisplayName());
  frontend.SetProgressLabel(kWindow, 1, std::string(texts.Text(TextId::kCreatingImage)));
  frontend.SetProgressLabel(kWindow, 2, std::string(texts.Text(TextId::kWaitAMoment)));
  frontend.SetProgressLabel(kWindow, 3, std::string());

  outcome = BackupCopy(source, frontend, state, texts, range, target_path).Run(writers);

  state.backup_cancel = 1;
  frontend.CloseProgressWindow(kWindow);
  frontend.ShowMainWindow();
  return outcome;
}

}  // namespace officecarve
