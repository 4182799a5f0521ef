#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "app/application.h"
#include "app/sector_viewer.h"
#include "cli/commands.h"
#include "cli/source_opening.h"
#include "cli/terminal_frontend.h"
#include "scan/parse_number.h"

namespace officecarve::cli {
namespace {

struct ViewArguments {
  std::string source;
  std::string sector;
};

int RunView(const ViewArguments& arguments) {
  Application app(VariantFromLocale());
  TerminalFrontend::Options terminal;
  terminal.progress = false;
  TerminalFrontend frontend(app.state, app.texts, terminal);
  if (!OpenSourceArgument(app, frontend, arguments.source)) return kExitFailed;

  SectorViewer viewer(app.source);
  // The same check as the viewer's go-to field, with its range message.
  const int64_t sector = ParseSectorNumber(arguments.sector);
  viewer.GoTo(arguments.sector, frontend, app.texts);
  if (sector < 0 || sector > app.source.Working().last_sector) return kExitFailed;
  if (!viewer.HasSector()) {
    std::cerr << "sector " << sector << " could not be read\n";
    return kExitFailed;
  }
  for (const std::string& line : viewer.Lines()) std::cout << line << "\n";
  return kExitOk;
}

}  // namespace

void AddViewCommand(CLI::App& app, CommandContext& context) {
  auto arguments = std::make_shared<ViewArguments>();
  CLI::App* view = app.add_subcommand(
      "view", "Print one sector of SOURCE as the sector viewer shows it: hex and characters.");
  view->add_option("SOURCE", arguments->source, "Block device or image file")->required();
  view->add_option("SECTOR", arguments->sector, "Sector number, 0 to the last sector")->required();
  view->callback([arguments, &context]() { context.exit_code = RunView(*arguments); });
}

}  // namespace officecarve::cli
