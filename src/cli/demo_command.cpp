// `officecarve demo`: builds a disk image from real sample documents, most of
// them fragmented, recovers from it and checks every document byte for byte.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/application.h"
#include "app/json_report.h"
#include "app/open_source.h"
#include "carvers/dispatch.h"
#include "cli/commands.h"
#include "cli/report_files.h"
#include "cli/source_opening.h"
#include "cli/terminal_frontend.h"
#include "demo/demo_image.h"
#include "scan/scan_driver.h"
#include "scan/start_sector_code.h"
#include "source/cluster_size.h"
#include "testimage/image_builder.h"

namespace officecarve::cli {
namespace {

struct DemoOptions {
  std::string output = "officecarve-demo";
};

std::string Verdict(const demo::PlacedDocument& document, const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return "MISSING";
  const std::vector<uint8_t> recovered = testimage::ReadFileBytes(path);
  const bool same = recovered.size() == document.bytes.size() &&
                    std::equal(recovered.begin(), recovered.end(), document.bytes.begin());
  return same ? "identical" : "DIFFERS";
}

int RunDemo(const DemoOptions& options, const CommandContext& context) {
  namespace fs = std::filesystem;
  const fs::path folder = options.output;
  const fs::path recovered = folder / "recovered";
  const fs::path image_path = folder / "demo.img";
  std::error_code error;
  fs::create_directories(recovered, error);
  if (error) {
    std::cerr << recovered.string() << ": " << error.message() << "\n";
    return kExitFailed;
  }

  demo::DemoImage demo = demo::BuildDemoImage(demo::EmbeddedSamples());
  demo.image.WriteTo(image_path.string());
  std::cout << "Demo image: " << image_path.string() << " (" << demo.image.SectorCount()
            << " sectors, FAT32, 4 KiB clusters, " << demo.documents.size()
            << " documents, most of them fragmented around " << demo.foreign_files.size()
            << " pictures, archives and media files)\n";

  Application app(VariantFromLocale());
  TerminalFrontend::Options terminal;
  terminal.quiet = true;
  terminal.progress = context.stderr_is_terminal;
  TerminalFrontend frontend(app.state, app.texts, terminal);
  if (!OpenImageAndReport(app, frontend, image_path.string())) return kExitFailed;

  const VolumeGeometry& working = app.source.Working();
  ScanRequest request;
  request.folder = recovered.string();
  request.first_text = "0";
  request.last_text = std::to_string(working.last_sector);
  request.cluster_item = ClusterItemForSize(working.sectors_per_cluster, working.bytes_per_sector);
  request.log_claimed_files = kDfxmlAvailable;
  const std::string start_time = UtcTimeNow();
  ScanDriver driver(app.source, frontend, app.state, app.texts, &DispatchFor);
  const ScanReport report = driver.Start(request);
  if (!report.started) return kExitFailed;
  // The reports lie beside the image, so the recovered folder holds only
  // what was recovered.
  std::string dfxml;
  if (!MakeDfxmlReport(app.source, report, {context.command_line, start_time}, dfxml) ||
      !WriteReportsInto(folder.string(), ScanReportJson(app.source, report), dfxml)) {
    return kExitFailed;
  }

  std::printf("\n%-16s %8s %8s %5s  %-22s %-9s %s\n", "sample", "bytes", "sector", "parts",
              "recovered as", "check", "fragments lie around");
  int failures = 0;
  for (const demo::PlacedDocument& document : demo.documents) {
    const std::string name =
        RecoveredFileName(document.start_sector * 512, document.expected_extension);
    const std::string verdict = Verdict(document, (recovered / name).string());
    if (verdict != "identical") ++failures;
    std::string around;
    for (const std::string& file : document.between) around += (around.empty() ? "" : ", ") + file;
    std::printf("%-16s %8zu %8lld %5d  %-22s %-9s %s\n", document.sample_name.c_str(),
                document.bytes.size(), static_cast<long long>(document.start_sector),
                document.fragments, name.c_str(), verdict.c_str(), around.c_str());
  }
  std::string reports = (folder / kReportFileName).string();
  if (kDfxmlAvailable) reports += " and " + (folder / kDfxmlReportFileName).string() + " (DFXML)";
  // The count stays the last line: scripts read it.
  std::printf("\nReports of the run: %s\n", reports.c_str());
  std::printf("%zu of %zu documents recovered byte for byte into %s\n",
              demo.documents.size() - failures, demo.documents.size(), recovered.string().c_str());
  return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace

void AddDemoCommand(CLI::App& app, CommandContext& context) {
  auto options = std::make_shared<DemoOptions>();
  CLI::App* demo = app.add_subcommand(
      "demo",
      "Build a disk image from real sample documents (most of them fragmented around "
      "directory clusters), recover from it and check each document byte for byte.");
  demo->add_option("-o,--output", options->output,
                   "Folder for the demo image and the recovered documents "
                   "(default ./officecarve-demo)");
  demo->callback([options, &context]() { context.exit_code = RunDemo(*options, context); });
}

}  // namespace officecarve::cli
