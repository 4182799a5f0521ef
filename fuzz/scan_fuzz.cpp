// Any image, scanned whole with every family on: the search, the settling,
// the directory claims and every carver together stay in bounds and end.
// Recovered documents go to a private folder that is emptied after each run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "carvers/dispatch.h"
#include "scan/scan_driver.h"
#include "source/sector_source.h"
#include "testimage/memory_handle.h"
#include "testimage/null_frontend.h"

namespace {

std::filesystem::path OutputFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "scan_fuzz_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace officecarve;
  static const std::filesystem::path folder = OutputFolder();
  std::vector<uint8_t> bytes(data, data + size);
  bytes.resize((bytes.size() / 512 + 1) * 512);
  SectorSource source;
  if (!source
           .OpenHandle(std::make_unique<testimage::MemoryHandle>(std::move(bytes)),
                       SourceType::kImage, "", "")
           .ok) {
    return 0;
  }
  ScanState state;
  testimage::NullFrontend frontend(MessageAnswer::kIgnore);
  UiTextTable texts(TextVariant::English);
  ScanRequest request;
  request.folder = folder.string();
  request.first_text = "0";
  request.last_text = std::to_string(source.Working().last_sector);
  ScanDriver driver(source, frontend, state, texts, &DispatchFor);
  driver.Start(request);
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::filesystem::remove(entry.path());
  }
  return 0;
}
