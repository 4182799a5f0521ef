#include <CLI/CLI.hpp>
#include <memory>
#include <optional>

#include "app/application.h"
#include "cli/commands.h"
#include "cli/source_opening.h"
#include "cli/terminal_frontend.h"
#include "imaging/backup.h"
#include "platform/image_file.h"

namespace officecarve::cli {
namespace {

struct BackupArguments {
  std::string source;
  std::string image;
  std::optional<std::string> first;
  std::optional<std::string> last;
  TerminalFrontend::Options terminal;
};

int RunBackupCommand(const BackupArguments& arguments) {
  Application app(VariantFromLocale());
  TerminalFrontend frontend(app.state, app.texts, arguments.terminal);
  TerminalFrontend::InstallInterruptHandler();
  if (!OpenSourceArgument(app, frontend, arguments.source)) return kExitFailed;

  const std::string last_text =
      arguments.last.value_or(std::to_string(app.source.Working().last_sector));
  const std::optional<ScanRange> range =
      CheckBackupRange(app.source, frontend, app.texts, arguments.first.value_or("0"), last_text);
  if (!range) return kExitFailed;
  const BackupOutcome outcome = RunBackup(app.source, frontend, app.state, app.texts, *range,
                                          arguments.image, SystemImageWriterFactory());
  switch (outcome.result) {
    case BackupResult::kFinished:
    case BackupResult::kFinishedWithErrors:
      return kExitOk;
    default:
      return kExitFailed;
  }
}

}  // namespace

void AddBackupCommand(CLI::App& app, CommandContext& context) {
  auto arguments = std::make_shared<BackupArguments>();
  CLI::App* backup = app.add_subcommand(
      "backup",
      "Copy sectors of SOURCE into the raw image file IMAGE (replaced if it exists), to recover "
      "from the image later. Unreadable sectors are written as zeros and counted. Ctrl-C "
      "cancels and asks whether to delete the unfinished image.");
  backup->add_option("SOURCE", arguments->source, "Block device or image file")->required();
  backup->add_option("IMAGE", arguments->image, "Image file to write; not on the source device")
      ->required();
  backup->add_option("--first", arguments->first, "First sector to copy (default 0)");
  backup->add_option("--last", arguments->last,
                     "Last sector to copy (default the source's last sector)");
  backup->add_flag("-y,--yes", arguments->terminal.assume_yes,
                   "Answer Yes to the question whether to delete an unfinished image (without "
                   "a terminal the answer is otherwise No)");
  backup->callback([arguments, &context]() {
    arguments->terminal.interactive = context.stdin_is_terminal && context.stderr_is_terminal;
    arguments->terminal.progress = context.stderr_is_terminal;
    context.exit_code = RunBackupCommand(*arguments);
  });
}

}  // namespace officecarve::cli
