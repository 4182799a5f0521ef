#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace officecarve {

struct CarverEnv;
class CarverCall;

// Writes `bytes` to `path`, replacing a file of that name, after making the
// output folder when it does not exist yet. On failure asks
// Abort/Retry/Ignore; Abort stops the scan before the next candidate.
// True when the file was written.
bool SaveRecoveredBuffer(CarverEnv& env, const std::string& path, std::span<const uint8_t> bytes);

// Names a document the carver decided to write after the call's start
// offset, saves it, counts it (whether or not the save succeeded) and reports
// it with the byte runs it came from. `bytes` are the units of the call's
// claim list, in order, cut to the document's length.
void WriteRecoveredDocument(CarverCall& call, std::string_view folder, std::string_view extension,
                            std::string_view family, std::span<const uint8_t> bytes);

}  // namespace officecarve
