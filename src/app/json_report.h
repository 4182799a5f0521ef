#pragma once

#include <optional>
#include <string>

#include "scan/scan_driver.h"
#include "source/sector_source.h"

namespace officecarve {

// The name the command line's `--report` and the desktop program give the
// report they leave in the output folder.
inline constexpr char kReportFileName[] = "officecarve-report.json";

// "fat", "fat32", "ntfs", "exfat" or "other".
std::string FileSystemName(FileSystemKind kind);

// A machine-readable account of one recovery run. Each written file has its
// byte runs on the source and the number of fragments (runs) it came in.
std::string ScanReportJson(const SectorSource& source, const ScanReport& report);

// Writes text to path; false (with errno) when it could not.
bool WriteTextFile(const std::string& path, const std::string& text, int* error);

// Writes the report under its own name in the output folder. Anything else
// standing under that name (a symbolic or hard link, a folder, a device, a
// pipe) is refused,
// so the report never replaces more than an earlier report. Returns why it
// could not be written, or nothing.
std::optional<std::string> WriteReportFile(const std::string& path, const std::string& text);

}  // namespace officecarve
