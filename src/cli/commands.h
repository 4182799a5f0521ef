#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/json_report.h"
#include "cli/terminal_frontend.h"
#include "core/scan_state.h"

namespace officecarve::cli {

// Exit codes of the command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // bad input, unopenable source, refused scan
inline constexpr int kExitUsage = 2;   // the command line itself was wrong
inline constexpr int kExitSaveAborted = 3;

// The DFXML report `recover --report` writes beside the JSON one
// (kReportFileName) in the output folder.
inline constexpr char kDfxmlReportFileName[] = "officecarve-dfxml.xml";

// Whether this build writes DFXML (its XML writer is not there for every
// system the command line is built for).
inline constexpr bool kDfxmlAvailable = OFFICECARVE_DFXML != 0;

struct RecoverOptions {
  std::string source;
  std::string output;
  uint32_t family_mask = kAllFamilies;
  std::optional<std::string> first;
  std::optional<std::string> last;
  std::optional<std::string> reason;
  std::optional<std::string> file_system;
  std::optional<std::string> cluster;
  std::string json_path;
  // Also write a DFXML report of the run to this file.
  std::string dfxml_path;
  // Also write the JSON report as kReportFileName into the output folder,
  // and the DFXML one as kDfxmlReportFileName.
  bool write_report = false;
  // The command line as typed, for the DFXML report.
  std::string command_line;
  TerminalFrontend::Options terminal;
};

int RunRecover(const RecoverOptions& options);

// Each command adds itself to the program's command line; when the user picks
// it, its callback runs the command and leaves the exit code in *exit_code.
struct CommandContext {
  bool stdin_is_terminal = false;
  bool stderr_is_terminal = false;
  // The program's arguments joined as a shell would read them back.
  std::string command_line;
  int exit_code = kExitUsage;
};

}  // namespace officecarve::cli

namespace CLI {
class App;
}

namespace officecarve::cli {

void AddRecoverCommand(CLI::App& app, CommandContext& context);
void AddProbeCommand(CLI::App& app, CommandContext& context);
void AddViewCommand(CLI::App& app, CommandContext& context);
void AddBackupCommand(CLI::App& app, CommandContext& context);
void AddDevicesCommand(CLI::App& app, CommandContext& context);
void AddDemoCommand(CLI::App& app, CommandContext& context);

}  // namespace officecarve::cli
