#pragma once

#include <optional>
#include <string>

#include "cli/report_files.h"
#include "scan/scan_driver.h"
#include "source/sector_source.h"

namespace officecarve::cli {

// The run as DFXML 1.x: the creator, the source with its geometry, and one
// fileobject per carved file in sector order. A written document has its
// name, size, byte runs on the source, SHA-256 (read back from the output
// folder) and verdict; a file that was only claimed, its kind and byte runs.
// Nothing when the XML writer failed.
// The facts' geometry source is "boot sector" when the geometry was probed
// and kept, "chosen" when the loss reason, file system or cluster size set
// it, "default" for the defaults of an unrecognised source.
std::optional<std::string> DfxmlReport(const SectorSource& source, const ScanReport& report,
                                       const RunFacts& run);

}  // namespace officecarve::cli
