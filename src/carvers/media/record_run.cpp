#include "carvers/media/record_run.h"

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

void RecordRun::Finish(uint64_t more) {
  if (file_end_ == 0) return call_.Fail();
  call_.TrimTo(file_end_ + more);
  call_.Complete();
}

}  // namespace officecarve
