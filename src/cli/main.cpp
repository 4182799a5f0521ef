// officecarve: the headless front end. Recovers lost office documents from a
// partition, a whole disk or a raw image.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <map>

#include "app/scan_state.h"
#include "cli/commands.h"

namespace officecarve::cli {
namespace {

uint32_t FamilyMaskFromTypes(const std::vector<std::string>& types) {
  static const std::map<std::string, uint32_t> kBits = {
      {"doc", kFamilyDoc}, {"xls", kFamilyXls}, {"ppt", kFamilyPpt}};
  uint32_t mask = 0;
  for (const std::string& type : types) mask |= kBits.at(type);
  return mask;
}

void AddRecover(CLI::App& app, RecoverOptions& options, std::vector<std::string>& types,
                std::string& on_save_error) {
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
      ->add_option("--types", types,
                   "Document families to recover, comma-separated: doc (DOC, DOCX, WPS), "
                   "xls (XLS, XLSX, ET), ppt (PPT, PPTX, DPS); default all")
      ->delimiter(',')
      ->check(CLI::IsMember({"doc", "xls", "ppt"}));
  recover->add_option("--first", options.first, "First sector of the scan range (default 0)");
  recover->add_option("--last", options.last,
                      "Last sector of the scan range (default the source's last sector)");
  recover->add_option("--json", options.json_path,
                      "Also write a machine-readable report of the run to this file");
  recover->add_flag("-q,--quiet", options.terminal.quiet,
                    "Do not print a line for each recovered file");
  recover
      ->add_option("--on-save-error", on_save_error,
                   "When a recovered file cannot be written and no terminal can be asked: "
                   "abort (stop the scan, exit 3) or ignore (skip the file); default abort")
      ->check(CLI::IsMember({"abort", "ignore"}));
  recover->callback([&]() {
    if (!types.empty()) options.family_mask = FamilyMaskFromTypes(types);
    options.terminal.on_save_error =
        on_save_error == "ignore" ? SaveErrorPolicy::kIgnore : SaveErrorPolicy::kAbort;
  });
}

}  // namespace

int Main(int argc, char** argv) {
  CLI::App app{
      "officecarve recovers lost office documents (.doc .xls .ppt, .docx .xlsx .pptx and "
      "encrypted packages) from a partition, a whole disk or a raw image by carving. The source "
      "is opened read-only and never written.",
      "officecarve"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("officecarve ") + OFFICECARVE_VERSION);

  RecoverOptions recover;
  std::vector<std::string> types;
  std::string on_save_error = "abort";
  AddRecover(app, recover, types, on_save_error);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? kExitOk : kExitUsage;
  }
  const bool terminal = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
  recover.terminal.interactive = terminal;
  recover.terminal.progress = isatty(STDERR_FILENO);

  if (app.got_subcommand("recover")) return RunRecover(recover);
  return kExitUsage;
}

}  // namespace officecarve::cli

int main(int argc, char** argv) { return officecarve::cli::Main(argc, argv); }
