#include "scan/grid_estimate.h"

namespace officecarve {

bool IsStrongHeader(FileKind kind) {
  switch (kind) {
    case FileKind::JpegJfif:
    case FileKind::Gif89a:
    case FileKind::Gif87a:
    case FileKind::Bitmap:
    case FileKind::Png:
    case FileKind::TiffFamily:
    case FileKind::X3f:
    case FileKind::Raf:
    case FileKind::RiffWebp:
    case FileKind::CompoundFile:
    case FileKind::ZippedXml:
    case FileKind::OpenDocument:
    case FileKind::Pdf:
    case FileKind::Zip:
    case FileKind::ZippedCdr:
    case FileKind::Rar:
    case FileKind::Cabinet:
    case FileKind::SevenZip:
    case FileKind::RiffAvi:
    case FileKind::RiffWave:
    case FileKind::RiffCdxa:
    case FileKind::RiffAnimatedCursor:
    case FileKind::RiffCdr:
    case FileKind::AsfWithProperties:
    case FileKind::AsfOther:
    case FileKind::Mp4:
    case FileKind::ThreeGp:
    case FileKind::IsoMediaOther:
    case FileKind::Matroska:
    case FileKind::Mpeg1PackStart:
    case FileKind::Mpeg2PackStart:
    case FileKind::M2tsStart:
    case FileKind::Id3Audio:
    case FileKind::JetDatabase:
    case FileKind::Sqlite:
    case FileKind::WindowsExecutable:
    case FileKind::Ogg:
    case FileKind::Aiff:
    case FileKind::SunAudio:
    case FileKind::Wave64:
    case FileKind::WavPack:
    case FileKind::Caf:
    case FileKind::MpegAudio:
      return true;
    default:
      return false;
  }
}

GridEstimate GridHistogram::Estimate(uint32_t bytes_per_sector) const {
  GridEstimate estimate;
  estimate.headers = total_;
  if (total_ < kMinGridHeaders || bytes_per_sector == 0) return estimate;
  uint32_t largest = kMaxEstimatedClusterBytes / bytes_per_sector;
  if (largest > kMaxSectors) largest = kMaxSectors;
  for (uint32_t size = largest; size >= 2; size /= 2) {
    uint64_t best_count = 0;
    uint32_t best_residue = 0;
    for (uint32_t residue = 0; residue < size; ++residue) {
      uint64_t count = 0;
      for (uint32_t folded = residue; folded < kMaxSectors; folded += size) {
        count += counts_[folded];
      }
      if (count > best_count) {
        best_count = count;
        best_residue = residue;
      }
    }
    if (best_count * 100 >= total_ * kGridDominancePercent) {
      estimate.found = true;
      estimate.sectors_per_cluster = size;
      estimate.cluster_phase = static_cast<int32_t>(best_residue);
      return estimate;
    }
  }
  return estimate;
}

}  // namespace officecarve
