#pragma once

#include <string>

#include "scan/scan_driver.h"
#include "source/sector_source.h"

namespace officecarve::cli {

// Where the working geometry came from and what the run was, for the DFXML
// report (see cli/dfxml_report.h).
struct RunFacts {
  std::string command_line;
  std::string start_time;
};

// The current time in UTC, as 2024-05-01T12:00:00Z.
std::string UtcTimeNow();

// The DFXML report of a scan, or an empty text where this build writes none.
// False (with the reason on stderr) when it could not be put together.
bool MakeDfxmlReport(const SectorSource& source, const ScanReport& report, const RunFacts& facts,
                     std::string& dfxml);

// Writes the JSON report and, where this build makes one, the DFXML report
// into `folder` under their own names, replacing only earlier reports. False
// (with the reason on stderr) when one could not be written.
bool WriteReportsInto(const std::string& folder, const std::string& json, const std::string& dfxml);

}  // namespace officecarve::cli
