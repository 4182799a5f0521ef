#pragma once

#include <string>

#include "scan/scan_driver.h"
#include "source/sector_source.h"

namespace officecarve::cli {

// "fat", "fat32", "ntfs", "exfat" or "other".
std::string FileSystemName(FileSystemKind kind);

// A machine-readable account of one recovery run.
std::string ScanReportJson(const SectorSource& source, const ScanReport& report);

// Writes text to path; false (with errno) when it could not.
bool WriteTextFile(const std::string& path, const std::string& text, int* error);

}  // namespace officecarve::cli
