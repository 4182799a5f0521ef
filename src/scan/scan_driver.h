#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/frontend.h"
#include "core/scan_state.h"
#include "scan/candidate_list.h"
#include "scan/claimed_file_log.h"
#include "scan/dispatch_row.h"
#include "source/scan_plan.h"
#include "source/sector_source.h"
#include "text/ui_text_table.h"

namespace officecarve {

// What the user chose in the main window when pressing "开始恢复".
struct ScanRequest {
  uint32_t family_mask = kAllFamilies;
  std::string folder;
  // The folder is the program's default, which need not exist yet: it is made
  // when the first file is saved. A folder the user chose must exist.
  bool create_missing_folder = false;
  std::string first_text;
  std::string last_text;
  // The cluster-size selector's item; -1 keeps the working sectors per cluster.
  int cluster_item = -1;
  // How each part of the source gets its cluster grid. The default takes the
  // working geometry as it stands; the front ends pass the user's choices so
  // that a whole disk is scanned partition by partition and an unknown grid
  // is estimated.
  GridChoice grid;
  // Whether each written document is read back and checked for a verdict.
  bool check_verdicts = true;
  // Whether the files that were only claimed are logged with their byte
  // runs (for a report that accounts for them).
  bool log_claimed_files = false;
  // Whether the report lists the claimed sectors the recovery ends with
  // (tools that compare two builds' results).
  bool report_claims = false;
};

// What a scan did, for reports and front ends.
struct ScanReport {
  bool started = false;  // false: a start check refused the scan
  TextId refusal = TextId::kSelectFileType;
  int64_t first = 0;
  int64_t last = -1;
  VolumeGeometry geometry;
  int32_t cluster_origin = 0;  // of the largest region
  // The regions scanned, each with the grid it was scanned with and where
  // that grid came from.
  std::vector<ScanRegion> regions;
  bool search_cancelled = false;
  bool stopped = false;
  int32_t recovered_count = 0;
  uint64_t sectors_identified = 0;
  std::array<uint64_t, 256> found_by_kind{};  // search hits before settling
  std::vector<RecoveredFile> files;
  // The claimed sectors at the end of the recovery as first-last runs, when
  // the request asked for them.
  std::vector<std::pair<int64_t, int64_t>> claimed_runs;
  // With log_claimed_files: the completed carves that wrote no document.
  ClaimedFileLog claimed;
};

// The one action that recovers files: start checks, search, settling of the
// cluster grid, recovery from the last candidate to the first, the JPEG
// second pass over files nested in others, and the final count.
class ScanDriver {
 public:
  ScanDriver(SectorSource& source, Frontend& frontend, ScanState& state, const UiTextTable& texts,
             DispatchTable dispatch)
      : source_(source), frontend_(frontend), state_(state), texts_(texts), dispatch_(dispatch) {}

  ScanReport Start(const ScanRequest& request);

 private:
  bool CheckInputs(const ScanRequest& request, std::string& folder, bool& folder_missing,
                   ScanReport& report);
  void Search(ScanReport& report);
  void Settle();
  // Settles one region's grid over its candidates [begin, end) and marks
  // the candidates off that grid for dropping.
  void SettleRegion(ScanRegion& region, size_t begin, size_t end,
                    const std::function<void(int64_t, int64_t)>& show);
  void Recover(class ClaimedSectorMap& map, const std::string& folder, bool folder_missing,
               const ScanRequest& request, ScanReport& report);
  void ShowFinalMessage(const ScanReport& report);
  // Whether candidate `index` lies inside the header of a lower candidate
  // carved by the same carver (the row's nesting test decides, going on
  // from what `walks` kept of the headers it walked for earlier candidates).
  bool NestedInLowerCandidate(const DispatchRow& row, size_t index, HeaderWalks& walks);
  bool WaitWhilePaused();
  void ClaimDirectory(ClaimedSectorMap& map, int64_t sector, uint32_t sectors_per_cluster) const;
  void Refuse(TextId message, ScanReport& report);

  SectorSource& source_;
  Frontend& frontend_;
  ScanState& state_;
  const UiTextTable& texts_;
  DispatchTable dispatch_;
  CandidateList candidates_;
  // The regions of the running scan, in ascending order.
  std::vector<ScanRegion> regions_;
};

}  // namespace officecarve
