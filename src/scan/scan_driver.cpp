#include "scan/scan_driver.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <thread>

#include "platform/file_save.h"
#include "platform/invoking_user.h"
#include "platform/same_device.h"
#include "scan/carver_frame.h"
#include "scan/claimed_sector_map.h"
#include "scan/dispatch_row.h"
#include "scan/grid_estimate.h"
#include "scan/header_walks.h"
#include "scan/identify.h"
#include "scan/parse_number.h"
#include "scan/percent_text.h"
#include "scan/verdict_queue.h"
#include "source/cluster_size.h"
#include "source/grid_text.h"
#include "verdict/verdict.h"

namespace officecarve {
namespace {

// Writes prefix + number into a reused string, so progress labels cost no
// allocation once the string has grown. A label is set once or more per
// candidate: the prefix already there is kept and only the digits written.
void SetNumberText(std::string& out, std::string_view prefix, int64_t number) {
  char digits[24];
  const auto length =
      static_cast<size_t>(std::to_chars(digits, digits + sizeof(digits), number).ptr - digits);
  if (out.size() < prefix.size() || std::memcmp(out.data(), prefix.data(), prefix.size()) != 0) {
    out.assign(prefix);
  }
  out.resize(prefix.size() + length);
  std::memcpy(out.data() + prefix.size(), digits, length);
}

void SetPercentLabel(std::string& out, std::string_view prefix, int64_t done, int64_t total) {
  out.assign(prefix);
  AppendPercentText(out, done, total);
}

// Packets and frames of these kinds occur anywhere inside a stream, so their
// sectors say nothing about where clusters start; JPEGs without APP0/APP1
// say little.
double SettlingWeight(FileKind kind) {
  switch (kind) {
    case FileKind::JpegOther:
      return 0.5;
    case FileKind::Mpeg2Pack:
    case FileKind::Mpeg1Pack:
    case FileKind::M2tsPacket:
    case FileKind::MpegTsPacket:
    case FileKind::Adts:
      return 0.0;
    default:
      return 1.0;
  }
}

}  // namespace

void ScanDriver::Refuse(TextId message, ScanReport& report) {
  report.started = false;
  report.refusal = message;
  frontend_.ShowMessage({std::string(texts_.Text(TextId::kErrorCaption)),
                         std::string(texts_.Text(message)), "", MessageButtons::kOk});
}

bool ScanDriver::CheckInputs(const ScanRequest& request, std::string& folder, bool& folder_missing,
                             ScanReport& report) {
  if ((request.family_mask & kAllFamilies) == 0) {
    Refuse(TextId::kSelectFileType, report);
    return false;
  }
  folder_missing = !request.folder.empty() && !IsExistingDirectory(request.folder);
  if (request.folder.empty() ||
      (folder_missing && !(request.create_missing_folder && FolderCanBeMade(request.folder)))) {
    Refuse(TextId::kSelectFolder, report);
    return false;
  }
  if (source_.Type() == SourceType::kVolume &&
      FolderIsOnSourceDevice(request.folder, source_.Identity())) {
    Refuse(TextId::kFolderOnSourceDrive, report);
    return false;
  }
  VolumeGeometry& working = source_.MutableWorking();
  if (request.cluster_item >= 0) {
    working.sectors_per_cluster =
        SectorsPerClusterForItem(request.cluster_item, working.bytes_per_sector);
  }
  folder = request.folder;
  // Both separators end a folder on Windows; the system's own one is added.
  constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
  if (folder.back() != '/' && folder.back() != kSeparator) folder += kSeparator;
  const int64_t first = ParseSectorNumber(request.first_text);
  const int64_t last = ParseSectorNumber(request.last_text);
  if (!source_.IsOpen() || first < 0 || first > last || last > working.last_sector) {
    Refuse(TextId::kScanRangeInvalid, report);
    return false;
  }
  source_.SetRange({first, last});
  report.first = first;
  report.last = last;
  report.geometry = working;
  return true;
}

ScanReport ScanDriver::Start(const ScanRequest& request) {
  ScanReport report;
  std::string folder;
  bool folder_missing = false;
  if (!CheckInputs(request, folder, folder_missing, report)) return report;
  report.started = true;

  ClaimedSectorMap map(source_.Working().last_sector);
  // Without the map no carver could step over another file's sectors.
  if (!map.Valid()) {
    Refuse(TextId::kOutOfMemory, report);
    return report;
  }
  regions_ = PlanScanRegions(source_, request.grid, {report.first, report.last});
  frontend_.HideMainWindow();
  Search(report);
  Settle();
  report.cluster_origin = state_.cluster_origin;
  report.regions = regions_;
  const uint32_t bytes_per_sector = source_.Working().bytes_per_sector;
  std::vector<std::string> region_lines;
  for (const ScanRegion& region : regions_) {
    region_lines.push_back(std::string(texts_.Text(TextId::kGridPrefix)) +
                           RegionLine(texts_, region, bytes_per_sector));
  }
  frontend_.GridSettled(GridSummary(texts_, regions_, bytes_per_sector), region_lines);
  Recover(map, folder, folder_missing, request, report);
  if (request.report_claims) report.claimed_runs = map.ClaimedRuns();
  // The recovery bounded each region's reads by the region's own end.
  source_.SetRange({report.first, report.last});

  frontend_.CloseProgressWindow(ProgressWindow::kRecovery);
  report.recovered_count = state_.recovered_count;
  report.stopped = state_.run_state == RunState::kStopped;
  ShowFinalMessage(report);
  frontend_.ShowMainWindow();
  candidates_.Reset();
  regions_.clear();
  return report;
}

// The count of files written, and on a second line how many of them their
// own structure shows damaged, when any is.
void ScanDriver::ShowFinalMessage(const ScanReport& report) {
  std::string final_text;
  SetNumberText(final_text, texts_.Text(TextId::kRescuedFiles), state_.recovered_count);
  const auto damaged =
      std::count_if(report.files.begin(), report.files.end(),
                    [](const auto& file) { return file.verdict.state == VerdictState::kDamaged; });
  std::string damaged_text;
  if (damaged > 0) SetNumberText(damaged_text, texts_.Text(TextId::kDamagedPrefix), damaged);
  frontend_.ShowMessage(
      {std::string(texts_.Text(TextId::kFinished)), final_text, damaged_text, MessageButtons::kOk});
  frontend_.SetStatusPanel(0, final_text);
}

void ScanDriver::Search(ScanReport& report) {
  const uint32_t bytes_per_sector = source_.Working().bytes_per_sector;
  const int64_t first = report.first;
  const int64_t last = report.last;
  const ProgressWindow window = ProgressWindow::kSearchOrBackup;

  std::string label;
  frontend_.ShowProgressWindow(window, std::string(texts_.Text(TextId::kSearchingFiles)));
  SetNumberText(label, texts_.Text(TextId::kSectorPrefix), 0);
  frontend_.SetProgressLabel(window, 1, label);
  SetNumberText(label, texts_.Text(TextId::kPercentPrefix), 0);
  frontend_.SetProgressLabel(window, 2, label);
  frontend_.SetProgressLabel(window, 3, "");
  label.assign(texts_.Text(TextId::kSourcePrefix));
  label += source_.DisplayName();
  frontend_.SetProgressLabel(window, 4, label);

  candidates_.Reset();
  int32_t found = 0;
  const int64_t total = last - first + 1;
  frontend_.PumpMessages();
  state_.search_cancelled = false;

  std::vector<uint8_t> buffer(bytes_per_sector);
  std::string sector_label;
  std::string percent_label;
  std::string found_label;
  uint8_t misses = 0;
  // The regions follow each other in ascending order, so the hits stay in
  // ascending order and the display moves on as over one range.
  for (const ScanRegion& region : regions_) {
    // With a known grid only cluster starts are examined; step straight to them.
    const int64_t per_cluster = region.sectors_per_cluster;
    const bool grid_known = region.cluster_phase != -1 && per_cluster > 1;
    const int64_t step = grid_known ? per_cluster : 1;
    int64_t sector = region.first;
    if (grid_known) {
      const int64_t residue = sector % per_cluster;
      sector += ((region.cluster_phase - residue) % per_cluster + per_cluster) % per_cluster;
    }
    for (; sector <= region.last && !state_.search_cancelled; sector += step) {
      const int64_t offset = sector * bytes_per_sector;
      std::span<const uint8_t> bytes = source_.WindowView(offset, bytes_per_sector);
      if (bytes.empty()) {
        if (source_.ReadAt(buffer.data(), bytes_per_sector, offset) != 0 &&
            !source_.ReadSectorDirect(sector, buffer.data())) {
          continue;  // unreadable both ways: skipped, neither counted nor shown
        }
        bytes = buffer;
      }
      ++report.sectors_identified;
      const FileKind kind = Identify(bytes);
      bool show = false;
      if (kind != FileKind::None) {
        candidates_.Append(sector, kind);
        ++report.found_by_kind[static_cast<uint8_t>(kind)];
        if (kind == FileKind::CompoundFile || kind == FileKind::ZippedXml ||
            kind == FileKind::OpenDocument) {
          ++found;
        }
        show = true;
      } else {
        show = ++misses == 0;
      }
      if (show) {
        SetNumberText(sector_label, texts_.Text(TextId::kSectorPrefix), sector);
        SetPercentLabel(percent_label, texts_.Text(TextId::kPercentPrefix), sector - first, total);
        SetNumberText(found_label, texts_.Text(TextId::kFoundPrefix), found);
        frontend_.SetProgressLabel(window, 1, sector_label);
        frontend_.SetProgressLabel(window, 2, percent_label);
        frontend_.SetProgressLabel(window, 3, found_label);
        frontend_.ReportProgress(window, static_cast<uint64_t>(sector - first) * bytes_per_sector,
                                 static_cast<uint64_t>(total) * bytes_per_sector,
                                 static_cast<uint64_t>(found));
        frontend_.PumpMessages();
      }
    }
  }
  report.search_cancelled = state_.search_cancelled;
}

void ScanDriver::SettleRegion(ScanRegion& region, size_t begin, size_t end,
                              const std::function<void(int64_t, int64_t)>& show) {
  const int64_t count = static_cast<int64_t>(candidates_.Count());
  if (region.origin == GridOrigin::kToEstimate) {
    GridHistogram histogram;
    for (size_t i = end; i-- > begin;) {
      if (IsStrongHeader(candidates_.Kind(i))) histogram.Add(candidates_.Sector(i));
      if (i % 1024 == 0) show(candidates_.Sector(i), count - 1 - static_cast<int64_t>(i));
    }
    const GridEstimate estimate = histogram.Estimate(source_.Working().bytes_per_sector);
    region.headers = estimate.headers;
    region.origin = estimate.found ? GridOrigin::kEstimated : GridOrigin::kNoGrid;
    region.sectors_per_cluster = estimate.sectors_per_cluster;
    region.cluster_phase = estimate.found ? estimate.cluster_phase : -1;
  } else if (region.cluster_phase == -1 && region.sectors_per_cluster > 1) {
    const int64_t per_cluster = region.sectors_per_cluster;
    std::vector<double> histogram(static_cast<size_t>(per_cluster), 0.0);
    for (size_t i = end; i-- > begin;) {
      const int64_t sector = candidates_.Sector(i);
      histogram[static_cast<size_t>(sector % per_cluster)] += SettlingWeight(candidates_.Kind(i));
      if (i % 1024 == 0) show(sector, count - 1 - static_cast<int64_t>(i));
    }
    // Ties keep the lowest residue.
    int32_t origin = 0;
    for (int32_t residue = 1; residue < per_cluster; ++residue) {
      if (histogram[static_cast<size_t>(residue)] > histogram[static_cast<size_t>(origin)]) {
        origin = residue;
      }
    }
    region.cluster_phase = origin;
  } else {
    return;  // the grid is known: the search only looked at cluster starts
  }
  const int64_t per_cluster = region.sectors_per_cluster;
  if (per_cluster <= 1) return;
  for (size_t i = end; i-- > begin;) {
    const int64_t sector = candidates_.Sector(i);
    if (sector % per_cluster != region.cluster_phase) candidates_.SetKind(i, FileKind::None);
    if (i % 1024 == 0) show(sector, count - 1 - static_cast<int64_t>(i));
  }
}

void ScanDriver::Settle() {
  const ProgressWindow window = ProgressWindow::kSearchOrBackup;
  const bool settling = std::any_of(regions_.begin(), regions_.end(), [](const ScanRegion& r) {
    return r.origin == GridOrigin::kToEstimate ||
           (r.cluster_phase == -1 && r.sectors_per_cluster > 1);
  });
  if (settling) {
    frontend_.SetProgressCaption(window, std::string(texts_.Text(TextId::kTidyingList)));
    frontend_.SetProgressLabel(window, 3, "");
    const size_t count = candidates_.Count();
    std::string sector_label;
    std::string percent_label;
    const std::function<void(int64_t, int64_t)> show = [&](int64_t sector, int64_t done) {
      SetNumberText(sector_label, texts_.Text(TextId::kSectorPrefix), sector);
      SetPercentLabel(percent_label, texts_.Text(TextId::kPercentPrefix), done,
                      static_cast<int64_t>(count));
      frontend_.SetProgressLabel(window, 1, sector_label);
      frontend_.SetProgressLabel(window, 2, percent_label);
    };
    size_t begin = 0;
    for (ScanRegion& region : regions_) {
      size_t end = begin;
      while (end < count && candidates_.Sector(end) <= region.last) ++end;
      SettleRegion(region, begin, end, show);
      begin = end;
    }
    candidates_.Compact(
        [&](size_t index, int64_t sector) { show(sector, static_cast<int64_t>(index)); });
  }
  // The origin the report names: that of the region that covers most.
  state_.cluster_origin = 0;
  int64_t widest = -1;
  for (const ScanRegion& region : regions_) {
    if (region.last - region.first <= widest) continue;
    widest = region.last - region.first;
    state_.cluster_origin = std::max(0, region.cluster_phase);
  }
  state_.search_cancelled = true;  // lets the search window close
  frontend_.CloseProgressWindow(window);
}

bool ScanDriver::NestedInLowerCandidate(const DispatchRow& row, size_t index, HeaderWalks& walks) {
  if (row.nested == nullptr) return false;
  // Headers that hold whole files (picture metadata) are at most a few
  // 64 KiB segments long.
  constexpr int64_t kMaxHeaderBytes = 256 * 1024;
  constexpr int kMaxOuterCandidates = 4;
  const int64_t unit_bytes = source_.Working().bytes_per_sector;
  const int64_t inner = candidates_.Sector(index) * unit_bytes;
  int tried = 0;
  for (size_t lower = index; lower-- > 0 && tried < kMaxOuterCandidates;) {
    const int64_t outer = candidates_.Sector(lower) * unit_bytes;
    if (inner - outer > kMaxHeaderBytes) break;
    if (dispatch_(candidates_.Kind(lower)).carver != row.carver) continue;
    ++tried;
    if (row.nested(source_, walks, outer, inner)) return true;
  }
  return false;
}

bool ScanDriver::WaitWhilePaused() {
  while (true) {
    frontend_.PumpMessages();
    if (state_.run_state == RunState::kStopped) return false;
    if (state_.run_state != RunState::kPaused) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void ScanDriver::ClaimDirectory(ClaimedSectorMap& map, int64_t sector,
                                uint32_t sectors_per_cluster) const {
  const int64_t per_cluster = std::max<int64_t>(1, sectors_per_cluster);
  const int64_t first = sector;
  // Up to the end of the cluster that holds the sector; never past the map.
  do {
    ++sector;
  } while ((sector - state_.cluster_origin) % per_cluster != 0 && sector <= map.LastSector());
  map.ClaimKept(first, sector - 1);
}

void ScanDriver::Recover(ClaimedSectorMap& map, const std::string& folder, bool folder_missing,
                         const ScanRequest& request, ScanReport& report) {
  const bool check_verdicts = request.check_verdicts;
  const ProgressWindow window = ProgressWindow::kRecovery;
  frontend_.ShowProgressWindow(window, std::string(texts_.Text(TextId::kRescuingFile)));
  std::string label(texts_.Text(TextId::kSourcePrefix));
  label += source_.DisplayName();
  frontend_.SetProgressLabel(window, 4, label);
  frontend_.SetProgressLabel(window, 1, std::string(texts_.Text(TextId::kSuccessPrefix)));
  frontend_.SetProgressLabel(window, 2, std::string(texts_.Text(TextId::kProgressPrefix)));
  frontend_.SetProgressLabel(window, 3, std::string(texts_.Text(TextId::kSectorPrefix)));
  state_.run_state = RunState::kRunning;
  state_.recovered_count = 0;

  const VolumeGeometry& geometry = source_.Working();
  CarverWorkspace workspace;
  NeedleIndexes needles;
  FailedChains failed_chains;
  HeaderWalks header_walks;
  CarverEnv env{source_, map, state_, frontend_, texts_};
  env.workspace = &workspace;
  env.needles = &needles;
  env.failed_chains = &failed_chains;
  env.rebuild_work_left +=
      16 * static_cast<uint64_t>(report.last - report.first + 1) * geometry.bytes_per_sector;
  env.family_mask = request.family_mask;
  env.bytes_per_sector = geometry.bytes_per_sector;
  env.recovered = &report.files;
  env.check_verdicts = check_verdicts;
  if (folder_missing) env.folder_to_make = folder;
  env.owner = OwnerForCreatedFiles();
  if (request.log_claimed_files) env.claimed = &report.claimed;
  std::optional<VerdictQueue> verdicts;
  if (check_verdicts) {
    verdicts.emplace([](const RecoveredFile& file) { return CheckRecoveredFile(file.path); },
                     [&](RecoveredFile& file) {
                       report.files.push_back(file);
                       frontend_.FileRecovered(file, file.saved);
                     });
    env.verdicts = &*verdicts;
  }

  const int64_t count = static_cast<int64_t>(candidates_.Count());
  std::string success_label;
  std::string progress_label;
  std::string sector_label;
  // Candidates are taken from the top down, and each is carved from its
  // sector up, so the part of the range above the current candidate is what
  // the recovery has worked through.
  const uint64_t range_bytes =
      static_cast<uint64_t>(report.last - report.first + 1) * geometry.bytes_per_sector;
  // The count and the percentage change far less often than candidates go
  // by: a label is set again only when its text would change.
  int64_t shown_count = -1;
  int64_t shown_percent = -1;
  auto show_progress = [&](int64_t i, uint64_t done_bytes) {
    if (state_.recovered_count != shown_count) {
      shown_count = state_.recovered_count;
      SetNumberText(success_label, texts_.Text(TextId::kSuccessPrefix), shown_count);
      frontend_.SetProgressLabel(window, 1, success_label);
    }
    if (const int64_t percent = (count - i) * 100 / count; percent != shown_percent) {
      shown_percent = percent;
      SetNumberText(progress_label, texts_.Text(TextId::kProgressPrefix), percent);
      progress_label += '%';
      frontend_.SetProgressLabel(window, 2, progress_label);
    }
    frontend_.ReportProgress(window, done_bytes, range_bytes,
                             static_cast<uint64_t>(state_.recovered_count));
  };
  // Each candidate is carved with its region's grid and never past the
  // region's end, so no document runs from one partition into the next.
  // The candidates come in descending order, and so do their regions.
  size_t region = regions_.size();
  auto enter_region_of = [&](int64_t sector) {
    if (region < regions_.size() && sector >= regions_[region].first) return;
    if (region >= regions_.size()) region = regions_.size() - 1;
    while (region > 0 && sector < regions_[region].first) --region;
    const ScanRegion& current = regions_[region];
    env.sectors_per_cluster = current.sectors_per_cluster;
    env.range_last = current.last;
    state_.cluster_origin = std::max(0, current.cluster_phase);
    source_.SetRange({current.first, current.last});
  };
  auto carve = [&](const DispatchRow& row, FileKind kind, int64_t sector) {
    if (row.carver == nullptr) return;
    const std::string_view carver_folder = row.receives_folder ? folder : std::string_view();
    env.carving_kind = kind;
    row.carver(env, carver_folder, sector * geometry.bytes_per_sector);
  };

  std::vector<int64_t> nested;
  for (int64_t i = count - 1; i >= 0; --i) {
    if (!WaitWhilePaused()) break;
    const int64_t sector = candidates_.Sector(static_cast<size_t>(i));
    const FileKind kind = candidates_.Kind(static_cast<size_t>(i));
    const DispatchRow& row = dispatch_(kind);
    enter_region_of(sector);
    if (row.action == CandidateAction::kCarve) {
      if (NestedInLowerCandidate(row, static_cast<size_t>(i), header_walks)) {
        nested.push_back(i);
      } else {
        carve(row, kind, sector);
      }
    }
    if (row.action == CandidateAction::kDirectoryClaim) {
      ClaimDirectory(map, sector, regions_[region].sectors_per_cluster);
    }
    show_progress(i, static_cast<uint64_t>(report.last - sector + 1) * geometry.bytes_per_sector);
    SetNumberText(sector_label, texts_.Text(TextId::kSectorPrefix), sector);
    frontend_.SetProgressLabel(window, 3, sector_label);
    frontend_.PumpMessages();
  }
  // A thumbnail carved first would cut its picture apart; once the picture
  // has claimed it, it costs a bit test.
  region = regions_.size();
  // Nested files claim below candidates already carved, from the top down
  // again: a claim here can start above a failed chain's record, so the
  // chains are forgotten once one is kept. Until then they all still hold,
  // and a storm of headers that each lie in the one below costs no second
  // read.
  for (const int64_t i : nested) {
    if (!WaitWhilePaused()) break;
    const int64_t sector = candidates_.Sector(static_cast<size_t>(i));
    const FileKind kind = candidates_.Kind(static_cast<size_t>(i));
    enter_region_of(sector);
    const uint64_t kept = map.KeptCount();
    carve(dispatch_(kind), kind, sector);
    if (map.KeptCount() != kept) failed_chains.Forget();
    // This pass is short work over what the first one passed: its progress
    // counts as the end of the first.
    show_progress(i, range_bytes);
    frontend_.PumpMessages();
  }
  // Below the last candidate nothing is left to do.
  if (state_.run_state != RunState::kStopped) {
    frontend_.ReportProgress(window, range_bytes, range_bytes,
                             static_cast<uint64_t>(state_.recovered_count));
  }
  if (verdicts) verdicts->Finish();
  // The documents are reported as what they were written as.
  std::vector<int64_t> written;
  for (const RecoveredFile& file : report.files) written.push_back(file.start_sector);
  std::sort(written.begin(), written.end());
  report.claimed.DropStartingAt(written);
}

}  // namespace officecarve
