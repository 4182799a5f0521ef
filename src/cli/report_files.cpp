#include "cli/report_files.h"

#include <ctime>
#include <filesystem>
#include <iostream>
#include <utility>
#include <vector>

#include "app/json_report.h"
#include "cli/commands.h"
#if OFFICECARVE_DFXML
#include "cli/dfxml_report.h"
#endif

namespace officecarve::cli {

std::string UtcTimeNow() {
  const std::time_t now = std::time(nullptr);
  char text[32] = "";
  if (const std::tm* utc = std::gmtime(&now)) {
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", utc);
  }
  return text;
}

bool MakeDfxmlReport([[maybe_unused]] const SectorSource& source,
                     [[maybe_unused]] const ScanReport& report,
                     [[maybe_unused]] const RunFacts& facts, std::string& dfxml) {
  dfxml.clear();
#if OFFICECARVE_DFXML
  const auto written = DfxmlReport(source, report, facts);
  if (!written) {
    std::cerr << "the DFXML report could not be put together\n";
    return false;
  }
  dfxml = *written;
#endif
  return true;
}

bool WriteReportsInto(const std::string& folder, const std::string& json,
                      const std::string& dfxml) {
  std::vector<std::pair<const char*, const std::string*>> reports = {{kReportFileName, &json}};
  if (kDfxmlAvailable) reports.emplace_back(kDfxmlReportFileName, &dfxml);
  for (const auto& [name, text] : reports) {
    const std::string path = (std::filesystem::path(folder) / name).string();
    if (const auto problem = WriteReportFile(path, *text)) {
      std::cerr << path << ": " << *problem << "\n";
      return false;
    }
  }
  return true;
}

}  // namespace officecarve::cli
