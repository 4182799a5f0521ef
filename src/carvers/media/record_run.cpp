#include "carvers/media/record_run.h"

#include "carvers/media/audio_tags.h"
#include "carvers/media/long_record.h"
#include "scan/carver_frame.h"

namespace officecarve {

bool RecordRun::Holds(uint64_t bytes) { return call_.ReadUntil(position_ + bytes); }

bool RecordRun::Take(uint64_t bytes) {
  uint64_t size = bytes;
  uint64_t file_position = file_position_;
  if (!HoldLongRecord(call_, position_, size, file_position)) return false;
  position_ += size;
  file_position_ = file_position + size;
  file_end_ = file_position_;
  // Compacting moves the buffer's bytes, not the file's.
  call_.Compact(position_);
  return true;
}

void RecordRun::Finish() {
  if (file_end_ == 0) return call_.Fail();
  call_.TrimTo(file_end_);
  call_.Complete();
}

void RecordRun::FinishWithTags() {
  if (file_end_ == 0) return call_.Fail();
  // The run stopped at the end of its last record, or at a record it could
  // not take, which is no tag. A tag that cannot be read is left out.
  uint64_t at = position_;
  if (TakeApeTag(call_, at, file_end_)) TakeId3v1Tag(call_, at, file_end_);
  Finish();
}

}  // namespace officecarve
