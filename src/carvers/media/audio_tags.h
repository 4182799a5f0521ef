#pragma once

#include <cstdint>

namespace officecarve {

class CarverCall;

// The tags players append after a sound stream's last frame or block.
// `at` is where the stream ends in the buffer, `file_position` where it ends
// in the file; both move past a tag taken.

// False only when a unit could not be read; running out of the range is the
// end of the file, which then ends before what could not be held.
bool HoldOrRangeEnd(CarverCall& call, uint64_t bytes, bool& held);
// Takes an APE tag that starts at `at` with its header into the file, when
// its footer is where the header says. False only when a unit could not be
// read.
bool TakeApeTag(CarverCall& call, uint64_t& at, uint64_t& file_position);
// Takes an ID3v1 tag at `at` into the file. False only when a unit could not
// be read.
bool TakeId3v1Tag(CarverCall& call, uint64_t at, uint64_t& file_position);

}  // namespace officecarve
