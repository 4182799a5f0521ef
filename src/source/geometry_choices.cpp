#include "source/geometry_choices.h"

#include <string>

#include "source/cluster_size.h"

namespace officecarve {
namespace {

constexpr int kFileSystemItemCount = 5;

int FileSystemItemForKind(FileSystemKind kind) {
  const int item = static_cast<int>(kind);
  return item >= 0 && item < kFileSystemItemCount ? item : static_cast<int>(FileSystemKind::kOther);
}

void ShowGeometry(const VolumeGeometry& geometry, GeometryControls& controls) {
  controls.file_system_item = FileSystemItemForKind(geometry.kind);
  controls.cluster_item =
      ClusterItemForSize(geometry.sectors_per_cluster, geometry.bytes_per_sector);
}

// The file-system choice without marking it the user's own.
void ApplyFileSystem(SectorSource& source, GeometryControls& controls, int item) {
  controls.file_system_item = item;
  VolumeGeometry& working = source.MutableWorking();
  working.cluster_phase = -1;
  const uint32_t sectors =
      DefaultSectorsPerCluster(item, working.last_sector, working.bytes_per_sector);
  if (sectors > 0) working.sectors_per_cluster = sectors;
  controls.cluster_item = ClusterItemForSize(working.sectors_per_cluster, working.bytes_per_sector);
}

}  // namespace

GeometryControls PresentOpenedSource(const SectorSource& source, const UiTextTable& texts) {
  GeometryControls controls;
  // A whole disk's partitions each bring their own boot sector.
  const bool recognised = source.BootSectorRecognised() || source.Partitions().Recognised();
  controls.reason = recognised ? LossReason::kDeleted : LossReason::kRepartitioned;
  controls.selectors_enabled = !recognised;
  const VolumeGeometry& working = source.Working();
  ShowGeometry(working, controls);
  controls.first_text = "0";
  controls.last_text = std::to_string(working.last_sector);
  controls.sector_count_text =
      std::string(texts.Text(TextId::kTotalSectors)) + std::to_string(working.last_sector + 1);
  return controls;
}

void ChooseLossReason(SectorSource& source, GeometryControls& controls, LossReason reason,
                      Frontend& frontend, const UiTextTable& texts) {
  if (reason != LossReason::kDeleted && reason != LossReason::kFormatted &&
      reason != LossReason::kRepartitioned) {
    return;
  }
  if (reason == LossReason::kDeleted) {
    if (source.Probed().kind == FileSystemKind::kOther && !source.Partitions().Recognised()) {
      Message message;
      message.caption = texts.Text(TextId::kErrorCaption);
      message.text = texts.Text(TextId::kUnknownFileSystem);
      frontend.ShowMessage(message);
      reason = LossReason::kFormatted;
    } else {
      // The file system is intact: its own geometry, phase included, is the
      // right one, and with the selectors disabled a default cluster size
      // from the tables could not be corrected by the user.
      source.MutableWorking() = source.Probed();
      controls.reason = LossReason::kDeleted;
      controls.selectors_enabled = false;
      controls.grid_chosen = false;
      ShowGeometry(source.Working(), controls);
      return;
    }
  }
  controls.reason = reason;
  controls.selectors_enabled = true;
  ApplyFileSystem(source, controls, FileSystemItemForKind(source.Working().kind));
  // The default cluster of a file system the boot sector named is a real
  // guess at the old one; the "OTHER" default of one sector is no guess.
  controls.grid_chosen = source.Working().kind != FileSystemKind::kOther;
}

void ChooseFileSystem(SectorSource& source, GeometryControls& controls, int item) {
  if (!controls.selectors_enabled || item < 0 || item >= kFileSystemItemCount) return;
  ApplyFileSystem(source, controls, item);
  controls.grid_chosen = true;
}

void ChooseClusterSize(SectorSource& source, GeometryControls& controls, int item) {
  if (!controls.selectors_enabled || item < 0 || item >= kClusterItemCount) return;
  controls.cluster_item = item;
  controls.grid_chosen = true;
  VolumeGeometry& working = source.MutableWorking();
  working.cluster_phase = -1;
  // A cluster smaller than the sector still holds one whole sector.
  const uint32_t sectors = SectorsPerClusterForItem(item, working.bytes_per_sector);
  working.sectors_per_cluster = sectors > 0 ? sectors : 1;
}

}  // namespace officecarve
