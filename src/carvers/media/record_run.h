#pragma once

#include <cstdint>

namespace officecarve {

class CarverCall;

// Files that are records laid end to end from their header on (pages,
// blocks, chunks, frames), each stating its own length, and that end before
// the first record that does not fit. Keeps where the next record starts in
// the buffer and where the last one taken ends in the file, across units
// claimed unread inside long records and bytes compacted away.
class RecordRun {
 public:
  explicit RecordRun(CarverCall& call) : call_(call) {}

  // Where the next record starts in the buffer.
  uint64_t Position() const { return position_; }
  // Whether the call holds `bytes` bytes from Position() on, reading them if
  // need be.
  bool Holds(uint64_t bytes);
  // Takes the record of `bytes` bytes at Position(), whose first bytes are
  // held: its inside is claimed unread, its end read, and the next record
  // starts after it. False, taking nothing, when the scan range ends first
  // or a unit cannot be read.
  bool Take(uint64_t bytes);
  uint64_t FileEnd() const { return file_end_; }
  // The file ends after the last record taken: the claims past it are given
  // back and the call completes. A run that took no record fails the call.
  void Finish();
  // The same for a sound stream, whose file also holds the APE and ID3v1
  // tags players append after its last record.
  void FinishWithTags();

 private:
  CarverCall& call_;
  uint64_t position_ = 0;
  uint64_t file_position_ = 0;  // of Position() in the file
  uint64_t file_end_ = 0;
};

}  // namespace officecarve
