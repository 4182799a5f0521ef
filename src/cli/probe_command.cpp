#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/application.h"
#include "app/json_report.h"
#include "cli/commands.h"
#include "cli/source_opening.h"
#include "cli/terminal_frontend.h"

namespace officecarve::cli {
namespace {

struct ProbeArguments {
  std::string source;
  bool json = false;
};

std::string ProbeJson(const SectorSource& source) {
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
  };
  return document.dump(2) + "\n";
}

std::string ProbeText(const SectorSource& source) {
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
  return text;
}

int RunProbe(const ProbeArguments& arguments) {
  Application app(VariantFromLocale());
  TerminalFrontend::Options terminal;
  terminal.progress = false;
  TerminalFrontend frontend(app.state, app.texts, terminal);
  if (!OpenSourceArgument(app, frontend, arguments.source)) return kExitFailed;
  std::cout << (arguments.json ? ProbeJson(app.source) : ProbeText(app.source));
  return kExitOk;
}

}  // namespace

void AddProbeCommand(CLI::App& app, CommandContext& context) {
  auto arguments = std::make_shared<ProbeArguments>();
  CLI::App* probe = app.add_subcommand(
      "probe",
      "Show what the boot sector of SOURCE says: file system, sector size, cluster size and "
      "where clusters start (the phase), and the number of sectors.");
  probe->add_option("SOURCE", arguments->source, "Block device or image file")->required();
  probe->add_flag("--json", arguments->json, "Print a JSON object instead of text");
  probe->callback([arguments, &context]() { context.exit_code = RunProbe(*arguments); });
}

}  // namespace officecarve::cli
