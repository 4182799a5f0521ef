#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace officecarve::testimage {

// One carver call or whole scan of a test, with the image it ran on and what
// it left behind, so another build can run it again and be compared: what a
// change to the engine must keep identical is exactly what is recorded here.
struct ScanCase {
  using Runs = std::vector<std::pair<int64_t, int64_t>>;

  bool whole_scan = false;
  // A carver call: the kind whose dispatch row names the carver, and its unit.
  int kind = 0;
  int64_t unit = 0;
  // The carver's surroundings (calls), the working geometry (both).
  uint32_t bytes_per_sector = 512;
  uint32_t sectors_per_cluster = 1;
  int32_t cluster_origin = 0;
  int64_t range_last = -1;
  uint32_t family_mask = 0;
  int64_t last_sector = -1;
  int32_t cluster_phase = -1;
  int file_system = 4;
  // A whole scan's request.
  std::string first_text;
  std::string last_text;
  int cluster_item = -1;
  bool check_verdicts = false;
  Runs claimed_before;
  std::vector<int64_t> unreadable;

  // What it left: claims, and the files it wrote (name -> size and hash).
  Runs claimed_after;
  std::map<std::string, std::pair<uint64_t, uint64_t>> written;
  int32_t recovered_count = 0;

  std::vector<uint8_t> image;
};

// Writes a case to `path`; throws std::runtime_error when it cannot.
void WriteScanCase(const ScanCase& scan_case, const std::string& path);
// Reads one back; throws std::runtime_error for a file that is not a case.
ScanCase ReadScanCase(const std::string& path);

// The size and a 64-bit hash of every regular file in `folder`.
std::map<std::string, std::pair<uint64_t, uint64_t>> FolderContents(const std::string& folder);

// A folder of cases: the directory named by OFFICECARVE_CAPTURE_DIR, or
// empty when tests are not asked to record their cases.
std::string CaptureDirectory();

}  // namespace officecarve::testimage
