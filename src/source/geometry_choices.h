#pragma once

#include <cstdint>
#include <string>

#include "core/frontend.h"
#include "source/scan_plan.h"
#include "source/sector_source.h"
#include "source/volume_geometry.h"
#include "text/ui_text_table.h"

namespace officecarve {

// What the main window's geometry controls show, kept by the engine so both
// front ends present a source and apply the user's choices the same way.
struct GeometryControls {
  LossReason reason = LossReason::kDeleted;  // ComboBox3
  bool selectors_enabled = false;            // ComboBox2 and ComboBox1
  int file_system_item = 4;                  // ComboBox2: FAT, FAT32, NTFS, exFAT, OTHER
  int cluster_item = 0;                      // ComboBox1: "0.5K" .. "128K"
  std::string first_text = "0";              // Edit3
  std::string last_text;                     // Edit4
  std::string sector_count_text;             // status-bar panel 2
  // The user named a file system or a cluster size (or the file system is
  // known from the boot sector and the reason says it was formatted over):
  // the scan takes that cluster size instead of estimating one.
  bool grid_chosen = false;
};

// What the scan needs to know of these choices.
inline GridChoice GridChoiceOf(const GeometryControls& controls) {
  return {controls.reason, controls.grid_chosen};
}

// The state right after a source was opened: reason 0 with the selectors
// disabled when the boot sector or a partition table was recognised, reason
// 2 with them enabled otherwise; selectors from the working geometry; the
// whole range.
GeometryControls PresentOpenedSource(const SectorSource& source, const UiTextTable& texts);

// The user picks a loss reason. Reason 0 on a source with neither a boot
// sector nor a partition table shows the "unknown file system" error and
// becomes reason 1.
// Reason 0 otherwise restores the probed geometry, phase and cluster size
// included, and disables the selectors. Reasons 1 and 2 enable them and run
// the file-system choice for the working kind.
void ChooseLossReason(SectorSource& source, GeometryControls& controls, LossReason reason,
                      Frontend& frontend, const UiTextTable& texts);

// The user picks the former file system (item 0..4): the cluster phase
// becomes unknown and sectors per cluster follow the default table for the
// volume's size. The working kind itself does not change. Does nothing while
// the selectors are disabled.
void ChooseFileSystem(SectorSource& source, GeometryControls& controls, int item);

// The user picks a cluster size (item 0..8): the phase becomes unknown. A
// cluster smaller than a sector counts as one sector. Does nothing while the
// selectors are disabled.
void ChooseClusterSize(SectorSource& source, GeometryControls& controls, int item);

// The default cluster size, in sectors, of a file system (item 0..4) for a
// volume whose last sector is last_sector, at least one; 0 when no table row
// fits (the caller keeps its value).
uint32_t DefaultSectorsPerCluster(int file_system_item, int64_t last_sector,
                                  uint32_t bytes_per_sector);

}  // namespace officecarve
