#pragma once

#include <cstdint>
#include <string_view>

#include "scan/file_kind.h"

namespace officecarve {

struct CarverEnv;
class HeaderWalks;
class SectorSource;

using CarverFunction = void (*)(CarverEnv& env, std::string_view folder, int64_t offset);

// Whether the file starting at byte `inner` lies inside the header of the
// file of the same format starting at byte `outer`, as a thumbnail lies in a
// picture's metadata. Reads the source directly; the map is not consulted.
// `walks` keeps what earlier tests of the same scan found in outer headers.
using NestingTest = bool (*)(SectorSource& source, HeaderWalks& walks, int64_t outer,
                             int64_t inner);

enum class CandidateAction {
  kNone,            // found and counted, nothing to carve
  kCarve,           // the main pass calls the row's carver
  kDirectoryClaim,  // a FAT directory sector: claim the rest of its cluster
};

struct DispatchRow {
  FileKind kind;
  CandidateAction action;
  CarverFunction carver;  // null while the carver is not built: the row does nothing
  bool receives_folder;
  // For formats that embed whole files of their own kind in their headers:
  // a candidate nested in the nearest lower candidate of the same carver is
  // carved after every other candidate, so it cannot cut the outer file
  // apart (the outer file claims it first).
  NestingTest nested = nullptr;
};

// The one table from a kind to what the recovery does with it. It lives
// beside the carvers it names; the scan driver is handed it.
using DispatchTable = const DispatchRow& (*)(FileKind kind);

}  // namespace officecarve
