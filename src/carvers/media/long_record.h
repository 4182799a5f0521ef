#pragma once

#include <cstdint>

namespace officecarve {

class CarverCall;

// Makes the buffer hold the record of `size` bytes that starts at
// `buffer_position` (file offset `file_position`), claiming the inside of a
// long record without reading it: only its last one to two units are read.
// Each unit skipped leaves `size` one unit smaller and `file_position` one
// unit further, so buffer_position + size is then the record's end in the
// buffer and file_position + size its end in the file. False when the scan
// range ran out or a read failed.
bool HoldLongRecord(CarverCall& call, uint64_t buffer_position, uint64_t& size,
                    uint64_t& file_position);

}  // namespace officecarve
