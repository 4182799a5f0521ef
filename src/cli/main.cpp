// officecarve: the headless front end. Recovers lost office documents from a
// partition, a whole disk or a raw image.
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "cli/commands.h"

int main(int argc, char** argv) {
  using namespace officecarve::cli;
  CLI::App app{
      "officecarve recovers lost office documents (.doc .xls .ppt, .docx .xlsx .pptx and "
      "encrypted packages) from a partition, a whole disk or a raw image by carving. The source "
      "is opened read-only and never written.",
      "officecarve"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("officecarve ") + OFFICECARVE_VERSION);

  CommandContext context;
  context.stdin_is_terminal = isatty(STDIN_FILENO);
  context.stderr_is_terminal = isatty(STDERR_FILENO);
  AddRecoverCommand(app, context);
  AddProbeCommand(app, context);
  AddViewCommand(app, context);
  AddBackupCommand(app, context);
  AddDevicesCommand(app, context);
  AddDemoCommand(app, context);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? kExitOk : kExitUsage;
  }
  return context.exit_code;
}
