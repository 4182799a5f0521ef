// officecarve: the headless front end. Recovers lost office documents from a
// partition, a whole disk or a raw image.
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/console.h"

namespace {

// An argument as a POSIX shell would read it back: bare when it holds only
// characters no shell treats specially, else in single quotes.
std::string ShellQuoted(const std::string& argument) {
  const bool bare = !argument.empty() && argument.find_first_not_of(
                                             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                             "0123456789_-+=.,/:@%") == std::string::npos;
  if (bare) return argument;
  std::string quoted = "'";
  for (const char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace officecarve::cli;
  CLI::App app{
      "officecarve recovers lost office documents (.doc .xls .ppt, .docx .xlsx .pptx and "
      "encrypted packages) from a partition, a whole disk or a raw image by carving. The source "
      "is opened read-only and never written.",
      "officecarve"};
  app.require_subcommand(1);
  // Options look the same everywhere; on Windows "/data/disk.img" stays a path.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", std::string("officecarve ") + OFFICECARVE_VERSION);

  CommandContext context;
  context.stdin_is_terminal = officecarve::IsTerminal(officecarve::StandardStream::kInput);
  context.stderr_is_terminal = officecarve::IsTerminal(officecarve::StandardStream::kError);
  officecarve::PrepareTerminal();
  AddRecoverCommand(app, context);
  AddProbeCommand(app, context);
  AddViewCommand(app, context);
  AddBackupCommand(app, context);
  AddDevicesCommand(app, context);
  AddDemoCommand(app, context);

  try {
    // Paths reach the engine as UTF-8 on every system.
    const std::vector<std::string> arguments = officecarve::CommandLineArguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
      pointers.push_back(argument.c_str());
      if (!context.command_line.empty()) context.command_line += ' ';
      context.command_line += ShellQuoted(argument);
    }
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? kExitOk : kExitUsage;
  }
  return context.exit_code;
}
