#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/application.h"
#include "app/geometry_json.h"
#include "app/json_report.h"
#include "cli/commands.h"
#include "cli/source_opening.h"
#include "cli/terminal_frontend.h"
#include "source/geometry_choices.h"
#include "source/grid_text.h"

namespace officecarve::cli {
namespace {

struct ProbeArguments {
  std::string source;
  bool json = false;
};

// The regions a recovery with no options would scan, and their grids as far
// as they are known before the search.
std::vector<ScanRegion> DefaultRegions(const Application& app) {
  const GeometryControls controls = PresentOpenedSource(app.source, app.texts);
  return PlanScanRegions(app.source, GridChoiceOf(controls), {0, app.source.Working().last_sector});
}

std::string ProbeJson(const Application& app) {
  const SectorSource& source = app.source;
  const VolumeGeometry& geometry = source.Probed();
  const nlohmann::json document = {
      {"source", source.Path()},
      {"type", source.Type() == SourceType::kVolume ? "volume" : "image"},
      {"boot_sector_recognised", source.BootSectorRecognised()},
      {"file_system", FileSystemName(geometry.kind)},
      {"bytes_per_sector", geometry.bytes_per_sector},
      {"sectors_per_cluster", geometry.sectors_per_cluster},
      {"cluster_phase", geometry.cluster_phase},
      {"sector_count", geometry.last_sector + 1},
      {"partition_table", PartitionTableJson(source.Partitions())},
      {"regions", RegionsJson(DefaultRegions(app), geometry.bytes_per_sector)},
  };
  // GPT names come from the disk and need not be valid UTF-16.
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string PartitionTableText(const PartitionTable& table) {
  if (!table.Recognised()) return "partition table:        not recognised\n";
  std::string text = "partition table:        " + std::string(PartitionSchemeName(table.scheme)) +
                     ", " + std::to_string(table.partitions.size()) + " partition" +
                     (table.partitions.size() == 1 ? "" : "s") + "\n";
  char line[256];
  std::snprintf(line, sizeof(line), "  %3s %12s %12s  %-38s %s\n", "#", "first sector", "sectors",
                "type", "boot sector");
  text += line;
  for (const Partition& partition : table.partitions) {
    std::string type = partition.type;
    if (!partition.type_name.empty()) type += " " + partition.type_name;
    if (!partition.name.empty()) type += " \"" + partition.name + "\"";
    std::string boot = "not recognised";
    if (partition.boot.recognised) {
      const VolumeGeometry& own = partition.boot.geometry;
      boot = FileSystemName(own.kind) + ", " + std::to_string(own.bytes_per_sector) +
             "-byte sectors, " + std::to_string(own.sectors_per_cluster) + " per cluster, phase " +
             std::to_string(own.cluster_phase);
    }
    std::snprintf(line, sizeof(line), "  %3d %12lld %12lld  %-38s %s\n", partition.number,
                  static_cast<long long>(partition.first_sector),
                  static_cast<long long>(partition.sector_count), type.c_str(), boot.c_str());
    text += line;
  }
  return text;
}

std::string ProbeText(const Application& app) {
  const SectorSource& source = app.source;
  const VolumeGeometry& geometry = source.Probed();
  std::string text;
  text += "source:                 " + source.Path() + "\n";
  text += "file system:            " + FileSystemName(geometry.kind) + "\n";
  text += "bytes per sector:       " + std::to_string(geometry.bytes_per_sector) + "\n";
  text += "sectors per cluster:    " + std::to_string(geometry.sectors_per_cluster) + "\n";
  text += "cluster phase:          " +
          (geometry.cluster_phase < 0 ? std::string("unknown")
                                      : std::to_string(geometry.cluster_phase)) +
          "\n";
  text += "sector count:           " + std::to_string(geometry.last_sector + 1) + "\n";
  text += std::string("boot sector recognised: ") + (source.BootSectorRecognised() ? "yes" : "no") +
          "\n";
  if (!source.BootSectorRecognised()) text += PartitionTableText(source.Partitions());
  for (const ScanRegion& region : DefaultRegions(app)) {
    text += std::string(app.texts.Text(TextId::kGridPrefix)) +
            RegionLine(app.texts, region, geometry.bytes_per_sector) + "\n";
  }
  return text;
}

int RunProbe(const ProbeArguments& arguments) {
  Application app(VariantFromLocale());
  TerminalFrontend::Options terminal;
  terminal.progress = false;
  TerminalFrontend frontend(app.state, app.texts, terminal);
  if (!OpenSourceArgument(app, frontend, arguments.source)) return kExitFailed;
  std::cout << (arguments.json ? ProbeJson(app) : ProbeText(app));
  return kExitOk;
}

}  // namespace

void AddProbeCommand(CLI::App& app, CommandContext& context) {
  auto arguments = std::make_shared<ProbeArguments>();
  CLI::App* probe = app.add_subcommand(
      "probe",
      "Show what the boot sector of SOURCE says: file system, sector size, cluster size and "
      "where clusters start (the phase), and the number of sectors; for a whole disk, its "
      "partition table and what each partition's boot sector says; and the cluster grid a "
      "recovery with no options would scan each part with.");
  probe->add_option("SOURCE", arguments->source, "Block device or image file")->required();
  probe->add_flag("--json", arguments->json, "Print a JSON object instead of text");
  probe->callback([arguments, &context]() { context.exit_code = RunProbe(*arguments); });
}

}  // namespace officecarve::cli
