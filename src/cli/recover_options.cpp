#include <CLI/CLI.hpp>
#include <map>
#include <memory>

#include "cli/commands.h"
#include "cli/geometry_options.h"

namespace officecarve::cli {
namespace {

uint32_t FamilyMaskFromTypes(const std::vector<std::string>& types) {
  static const std::map<std::string, uint32_t> kBits = {
      {"doc", kFamilyDoc}, {"xls", kFamilyXls}, {"ppt", kFamilyPpt}};
  uint32_t mask = 0;
  for (const std::string& type : types) mask |= kBits.at(type);
  return mask;
}

struct RecoverArguments {
  RecoverOptions options;
  std::vector<std::string> types;
  std::string on_save_error = "abort";
};

}  // namespace

void AddRecoverCommand(CLI::App& app, CommandContext& context) {
  auto arguments = std::make_shared<RecoverArguments>();
  RecoverOptions& options = arguments->options;
  CLI::App* recover = app.add_subcommand(
      "recover",
      "Search SOURCE (a block device or a raw image file) for lost office documents and "
      "write them into DIR as FILE_<start sector code>.<ext>. The source is only read.");
  recover->add_option("SOURCE", options.source, "Block device (e.g. /dev/sdb1) or image file")
      ->required();
  recover
      ->add_option("-o,--output", options.output,
                   "Folder for the recovered documents; made if missing; must not lie on "
                   "the source device")
      ->required();
  recover
      ->add_option("--types", arguments->types,
                   "Document families to recover, comma-separated: doc (DOC, DOCX, WPS), "
                   "xls (XLS, XLSX, ET), ppt (PPT, PPTX, DPS); default all")
      ->delimiter(',')
      ->check(CLI::IsMember({"doc", "xls", "ppt"}));
  recover->add_option("--first", options.first, "First sector of the scan range (default 0)");
  recover->add_option("--last", options.last,
                      "Last sector of the scan range (default the source's last sector)");
  recover
      ->add_option("--reason", options.reason,
                   "Why the documents were lost, as chosen in the main window: deleted (the "
                   "file system's own geometry is used), formatted or repartitioned (the "
                   "geometry follows --fs and --cluster). Default: deleted when the boot "
                   "sector is recognised, else repartitioned")
      ->check(CLI::IsMember(LossReasonNames(), CLI::ignore_case));
  recover
      ->add_option("--fs", options.file_system,
                   "The file system the partition had before (formatted or repartitioned): "
                   "sets the default cluster size for the volume's size")
      ->check(CLI::IsMember(FileSystemNames(), CLI::ignore_case));
  recover
      ->add_option("--cluster", options.cluster,
                   "The cluster size the partition had before (formatted or repartitioned)")
      ->check(CLI::IsMember(ClusterSizeNames(), CLI::ignore_case));
  recover->add_option("--json", options.json_path,
                      "Also write a machine-readable report of the run to this file");
  recover->add_option("--dfxml", options.dfxml_path,
                      "Also write a DFXML report to this file: every carved file in sector order "
                      "with its byte runs on the source, and for each written document its "
                      "SHA-256 and verdict");
  recover->add_flag(
      "--report", options.write_report,
      std::string("Also write the JSON report as ") + kReportFileName +
          (kDfxmlAvailable ? std::string(" and the DFXML one as ") + kDfxmlReportFileName
                           : std::string()) +
          " into the output folder, replacing only earlier reports of that name");
  recover->add_flag("-q,--quiet", options.terminal.quiet,
                    "Do not print a line for each recovered file");
  recover
      ->add_option("--on-save-error", arguments->on_save_error,
                   "When a recovered file cannot be written and no terminal can be asked: "
                   "abort (stop the scan, exit 3) or ignore (skip the file); default abort")
      ->check(CLI::IsMember({"abort", "ignore"}));
  recover->callback([arguments, &context]() {
    RecoverOptions& options = arguments->options;
    if (!arguments->types.empty()) options.family_mask = FamilyMaskFromTypes(arguments->types);
    options.terminal.on_save_error =
        arguments->on_save_error == "ignore" ? SaveErrorPolicy::kIgnore : SaveErrorPolicy::kAbort;
    options.terminal.interactive = context.stdin_is_terminal && context.stderr_is_terminal;
    options.terminal.progress = context.stderr_is_terminal;
    options.command_line = context.command_line;
    context.exit_code = RunRecover(options);
  });
}

}  // namespace officecarve::cli
