#include "app/json_report.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <span>

#include "app/geometry_json.h"
#include "platform/file_save.h"
#include "platform/invoking_user.h"
#include "platform/raw_handle.h"
#include "scan/file_kind.h"
#include "verdict/verdict.h"

namespace officecarve {

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
    json runs = json::array();
    for (const ByteRun& run : file.byte_runs) {
      runs.push_back(
          {{"file_offset", run.file_offset}, {"img_offset", run.img_offset}, {"len", run.length}});
    }
    files.push_back(
        {{"name", file.name},
         {"path", file.path},
         {"size", file.size},
         {"start_sector", file.start_sector},
         {"family", file.family},
         {"saved", file.saved},
         {"verdict", VerdictName(file.verdict.state)},
         {"problem", file.verdict.problem.empty() ? json(nullptr) : json(file.verdict.problem)},
         {"fragments", file.byte_runs.size()},
         {"byte_runs", std::move(runs)}});
  }
  const VolumeGeometry& geometry = report.geometry;
  json document = {
      {"source",
       {{"path", source.Path()},
        {"name", source.DisplayName()},
        {"type", source.Type() == SourceType::kVolume ? "volume" : "image"},
        {"boot_sector_recognised", source.BootSectorRecognised()},
        {"partition_table", PartitionTableJson(source.Partitions())}}},
      {"geometry",
       {{"file_system", FileSystemName(geometry.kind)},
        {"bytes_per_sector", geometry.bytes_per_sector},
        {"sectors_per_cluster", geometry.sectors_per_cluster},
        {"cluster_phase", geometry.cluster_phase},
        {"sector_count", geometry.last_sector + 1}}},
      {"range", {{"first", report.first}, {"last", report.last}}},
      {"started", report.started},
      {"cluster_origin", report.cluster_origin},
      {"regions", RegionsJson(report.regions, geometry.bytes_per_sector)},
      {"sectors_identified", report.sectors_identified},
      {"search_cancelled", report.search_cancelled},
      {"stopped", report.stopped},
      {"candidates", candidates},
      {"recovered_count", report.recovered_count},
      {"files", files},
  };
  // Paths and names come from the disk and the command line and need not be
  // UTF-8; they are written with replacement characters rather than failing.
  return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool WriteTextFile(const std::string& path, const std::string& text, int* error) {
  std::error_code exists_error;
  const bool existed = std::filesystem::exists(std::filesystem::symlink_status(path, exists_error));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out << text;
  if (out) out.close();
  if (!out) {
    *error = errno != 0 ? errno : EIO;
    return false;
  }
  if (const auto owner = OwnerForCreatedFiles(); owner && !existed) {
    HandOverCreatedFile(path, *owner);
  }
  return true;
}

std::optional<std::string> WriteReportFile(const std::string& path, const std::string& text) {
  const std::string not_ours = "exists and is not a plain file of its own; left alone";
  // A link of either kind would carry the write to another of the user's files.
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (!error && std::filesystem::exists(status) &&
      (!std::filesystem::is_regular_file(status) ||
       std::filesystem::hard_link_count(path, error) > 1)) {
    return not_ours;
  }
  const SaveResult saved =
      SaveFileReplacing(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                        OwnerForCreatedFiles());
  if (!saved.ok) return OsErrorText(saved.error);
  return std::nullopt;
}

}  // namespace officecarve
