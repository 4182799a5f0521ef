// Replays the carver calls and scans that a test run recorded (with
// OFFICECARVE_CAPTURE_DIR set) and compares what this build leaves behind
// with what the recording build did: the claimed units, the files written
// and the count. A change that must not alter results is checked by
// recording with the build before it and replaying with the build after it.
// Usage: officecarve_replay CASE_DIR
//        officecarve_replay --record CASE_DIR FILE...   (a whole scan of each
//        file as an image, every family on: the fuzzers' seeds, say)
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "carvers/dispatch.h"
#include "scan/carver_frame.h"
#include "scan/claimed_sector_map.h"
#include "scan/scan_driver.h"
#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"
#include "testimage/null_frontend.h"
#include "testimage/scan_case.h"

namespace {

using namespace officecarve;
namespace fs = std::filesystem;

struct Outcome {
  testimage::ScanCase::Runs claimed;
  std::map<std::string, std::pair<uint64_t, uint64_t>> written;
  int32_t recovered_count = 0;
};

Outcome Replay(const testimage::ScanCase& c, const fs::path& folder) {
  Application app(TextVariant::English);
  auto handle = std::make_unique<testimage::MemoryHandle>(
      std::make_shared<const std::vector<uint8_t>>(c.image), c.bytes_per_sector);
  for (const int64_t unit : c.unreadable) handle->MakeUnreadable(unit);
  app.source.OpenHandle(std::move(handle), SourceType::kImage, "img", "img");
  VolumeGeometry& geometry = app.source.MutableWorking();
  geometry.bytes_per_sector = c.bytes_per_sector;
  geometry.last_sector = c.last_sector;
  geometry.sectors_per_cluster = c.sectors_per_cluster;
  geometry.cluster_phase = c.cluster_phase;
  geometry.kind = static_cast<FileSystemKind>(c.file_system);
  testimage::NullFrontend frontend;
  const std::string folder_text = (folder / "").string();

  Outcome outcome;
  if (c.whole_scan) {
    ScanRequest request;
    request.folder = folder.string();
    request.first_text = c.first_text;
    request.last_text = c.last_text;
    request.family_mask = c.family_mask;
    request.check_verdicts = c.check_verdicts;
    request.report_claims = true;
    const ScanReport report =
        ScanDriver(app.source, frontend, app.state, app.texts, &DispatchFor).Start(request);
    outcome.claimed = report.claimed_runs;
  } else {
    app.source.SetRange({0, c.range_last});
    ClaimedSectorMap map(c.last_sector);
    for (const auto& [first, last] : c.claimed_before) {
      for (int64_t unit = first; unit <= last; ++unit) map.Claim(unit);
    }
    CarverEnv env{app.source, map, app.state, frontend, app.texts};
    env.family_mask = c.family_mask;
    env.bytes_per_sector = c.bytes_per_sector;
    env.sectors_per_cluster = c.sectors_per_cluster;
    env.range_last = c.range_last;
    app.state.cluster_origin = c.cluster_origin;
    const DispatchRow& row = DispatchFor(static_cast<FileKind>(c.kind));
    if (row.carver != nullptr) row.carver(env, folder_text, c.unit * c.bytes_per_sector);
    outcome.claimed = map.ClaimedRuns();
  }
  outcome.written = testimage::FolderContents(folder.string());
  outcome.recovered_count = app.state.recovered_count;
  return outcome;
}

}  // namespace

// Records a whole scan of each file, as the build at hand carves it.
int Record(const fs::path& directory, int count, char** files) {
  const fs::path work = fs::temp_directory_path() / "officecarve-record";
  for (int i = 0; i < count; ++i) {
    testimage::ScanCase c;
    c.whole_scan = true;
    c.image = testimage::ReadFileBytes(files[i]);
    c.image.resize(c.image.size() / 512 * 512);
    if (c.image.empty()) continue;
    c.last_sector = static_cast<int64_t>(c.image.size() / 512) - 1;
    c.range_last = c.last_sector;
    c.first_text = "0";
    c.last_text = std::to_string(c.last_sector);
    c.family_mask = kAllFamilies;
    fs::remove_all(work);
    fs::create_directories(work);
    const Outcome outcome = Replay(c, work);
    c.claimed_after = outcome.claimed;
    c.written = outcome.written;
    c.recovered_count = outcome.recovered_count;
    testimage::WriteScanCase(
        c, (directory / (fs::path(files[i]).filename().string() + ".case")).string());
  }
  fs::remove_all(work);
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--record") return Record(argv[2], argc - 3, argv + 3);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CASE_DIR | --record CASE_DIR FILE...\n", argv[0]);
    return 2;
  }
  std::vector<fs::path> cases;
  for (const auto& entry : fs::directory_iterator(argv[1])) {
    if (entry.path().extension() == ".case") cases.push_back(entry.path());
  }
  std::sort(cases.begin(), cases.end());
  const fs::path work = fs::temp_directory_path() / "officecarve-replay";
  size_t differ = 0;
  for (const fs::path& path : cases) {
    const testimage::ScanCase recorded = testimage::ReadScanCase(path.string());
    fs::remove_all(work);
    fs::create_directories(work);
    const Outcome now = Replay(recorded, work);
    const bool same = now.claimed == recorded.claimed_after && now.written == recorded.written &&
                      now.recovered_count == recorded.recovered_count;
    if (!same) {
      ++differ;
      std::printf("DIFFERS %s (claims %s, files %s, count %d -> %d)\n",
                  path.filename().string().c_str(),
                  now.claimed == recorded.claimed_after ? "same" : "differ",
                  now.written == recorded.written ? "same" : "differ", recorded.recovered_count,
                  now.recovered_count);
    }
  }
  fs::remove_all(work);
  std::printf("%zu cases replayed, %zu differ\n", cases.size(), differ);
  return differ == 0 ? 0 : 1;
}
