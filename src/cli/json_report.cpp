#include "cli/json_report.h"

#include <cerrno>
#include <fstream>
#include <nlohmann/json.hpp>

#include "scan/file_kind.h"

namespace officecarve::cli {

std::string FileSystemName(FileSystemKind kind) {
  switch (kind) {
    case FileSystemKind::kFat:
      return "fat";
    case FileSystemKind::kFat32:
      return "fat32";
    case FileSystemKind::kNtfs:
      return "ntfs";
    case FileSystemKind::kExFat:
      return "exfat";
    case FileSystemKind::kOther:
      break;
  }
  return "other";
}

std::string ScanReportJson(const SectorSource& source, const ScanReport& report) {
  using nlohmann::json;
  json candidates = json::object();
  for (size_t kind = 0; kind < report.found_by_kind.size(); ++kind) {
    if (report.found_by_kind[kind] == 0) continue;
    candidates[std::string(FileKindName(static_cast<FileKind>(kind)))] = report.found_by_kind[kind];
  }
  json files = json::array();
  for (const RecoveredFile& file : report.files) {
    files.push_back({{"name", file.name},
                     {"path", file.path},
                     {"size", file.size},
                     {"start_sector", file.start_sector},
                     {"family", file.family},
                     {"saved", file.saved}});
  }
  const VolumeGeometry& geometry = report.geometry;
  json document = {
      {"source",
       {{"path", source.Path()},
        {"name", source.DisplayName()},
        {"type", source.Type() == SourceType::kVolume ? "volume" : "image"},
        {"boot_sector_recognised", source.BootSectorRecognised()}}},
      {"geometry",
       {{"file_system", FileSystemName(geometry.kind)},
        {"bytes_per_sector", geometry.bytes_per_sector},
        {"sectors_per_cluster", geometry.sectors_per_cluster},
        {"cluster_phase", geometry.cluster_phase},
        {"sector_count", geometry.last_sector + 1}}},
      {"range", {{"first", report.first}, {"last", report.last}}},
      {"started", report.started},
      {"cluster_origin", report.cluster_origin},
      {"sectors_identified", report.sectors_identified},
      {"search_cancelled", report.search_cancelled},
      {"stopped", report.stopped},
      {"candidates", candidates},
      {"recovered_count", report.recovered_count},
      {"files", files},
  };
  return document.dump(2) + "\n";
}

bool WriteTextFile(const std::string& path, const std::string& text, int* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out << text;
  if (out) out.close();
  if (!out) {
    *error = errno != 0 ? errno : EIO;
    return false;
  }
  return true;
}

}  // namespace officecarve::cli
