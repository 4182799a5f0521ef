#pragma once

#include <cstdint>
#include <string_view>

#include "scan/file_kind.h"

namespace officecarve {

struct CarverEnv;

using CarverFunction = void (*)(CarverEnv& env, std::string_view folder, int64_t offset);

enum class CandidateAction {
  kNone,            // found and counted, nothing to carve
  kCarve,           // the main pass calls the row's carver
  kSecondPassJpeg,  // carved by the JPEG carver after every other candidate
  kDirectoryClaim,  // a FAT directory sector: claim the rest of its cluster
};

struct DispatchRow {
  FileKind kind;
  CandidateAction action;
  CarverFunction carver;  // null while the carver is not built: the row does nothing
  bool receives_folder;
};

// The one table from a kind to what the recovery does with it. It lives
// beside the carvers it names; the scan driver is handed it.
using DispatchTable = const DispatchRow& (*)(FileKind kind);

}  // namespace officecarve
