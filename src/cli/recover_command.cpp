#include <filesystem>
#include <iostream>

#include "app/application.h"
#include "app/json_report.h"
#include "carvers/dispatch.h"
#include "cli/commands.h"
#include "cli/geometry_options.h"
#include "cli/report_files.h"
#include "cli/source_opening.h"
#include "cli/terminal_frontend.h"
#include "platform/file_save.h"
#include "platform/invoking_user.h"
#include "platform/raw_handle.h"
#include "platform/same_device.h"
#include "scan/scan_driver.h"
#include "source/geometry_choices.h"

namespace officecarve::cli {
namespace {

// The command line may name a folder that does not exist yet; it is made,
// unless that would write onto the source itself. Run through sudo, the
// folders made are the user's.
bool PrepareOutputFolder(const Application& app, const std::string& folder) {
  if (IsExistingDirectory(folder)) return true;
  if (app.source.Type() == SourceType::kVolume &&
      FolderIsOnSourceDevice(folder, app.source.Identity())) {
    return true;  // the scan's own check refuses it with the right message
  }
  const SaveResult made = CreateFolders(folder, OwnerForCreatedFiles());
  if (!made.ok) {
    std::cerr << folder << ": " << OsErrorText(made.error) << "\n";
    return false;
  }
  return true;
}

}  // namespace

int RunRecover(const RecoverOptions& options) {
  const bool wants_dfxml = !options.dfxml_path.empty() || options.write_report;
  if (!kDfxmlAvailable && !options.dfxml_path.empty()) {
    std::cerr << "--dfxml: this build of officecarve writes no DFXML (its XML writer, libxml2, "
                 "was not available for it)\n";
    return kExitUsage;
  }
  const std::string start_time = UtcTimeNow();
  Application app(VariantFromLocale());
  TerminalFrontend frontend(app.state, app.texts, options.terminal);
  TerminalFrontend::InstallInterruptHandler();
  if (!OpenSourceArgument(app, frontend, options.source)) return kExitFailed;

  GeometryControls controls = PresentOpenedSource(app.source, app.texts);
  const GeometryChoices choices{options.reason, options.file_system, options.cluster};
  if (!ApplyGeometryChoices(app, frontend, choices, controls)) return kExitUsage;
  ScanRequest request;
  request.family_mask = options.family_mask;
  request.folder = options.output;
  request.first_text = options.first.value_or(controls.first_text);
  request.last_text = options.last.value_or(controls.last_text);
  request.cluster_item = controls.cluster_item;
  request.grid = GridChoiceOf(controls);
  request.log_claimed_files = kDfxmlAvailable && wants_dfxml;
  if (!PrepareOutputFolder(app, request.folder)) return kExitFailed;

  ScanDriver driver(app.source, frontend, app.state, app.texts, &DispatchFor);
  const ScanReport report = driver.Start(request);
  const std::string json = ScanReportJson(app.source, report);
  if (!options.json_path.empty()) {
    int error = 0;
    if (!WriteTextFile(options.json_path, json, &error)) {
      std::cerr << options.json_path << ": " << OsErrorText(error) << "\n";
      return kExitFailed;
    }
  }
  std::string dfxml;
  const RunFacts facts{options.command_line, start_time};
  if (wants_dfxml && !MakeDfxmlReport(app.source, report, facts, dfxml)) return kExitFailed;
  if (!options.dfxml_path.empty()) {
    int error = 0;
    if (!WriteTextFile(options.dfxml_path, dfxml, &error)) {
      std::cerr << options.dfxml_path << ": " << OsErrorText(error) << "\n";
      return kExitFailed;
    }
  }
  // Only a scan that started has accepted the folder (it is not on the source).
  if (options.write_report && report.started && !WriteReportsInto(options.output, json, dfxml)) {
    return kExitFailed;
  }
  if (!report.started) return kExitFailed;
  if (frontend.SaveAborted()) return kExitSaveAborted;
  return kExitOk;
}

}  // namespace officecarve::cli
