#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/raw_handle.h"
#include "platform/same_device.h"
#include "source/partition_table.h"
#include "source/volume_geometry.h"
#include "text/ui_text_table.h"

namespace officecarve {

enum class SourceType { kClosed, kVolume, kImage };

// Why an open failed: the text-table entry to show and the OS reason.
struct OpenOutcome {
  bool ok = false;
  TextId message = TextId::kOpenFileFailed;
  int os_error = 0;          // errno of the failing call, 0 when none
  uint32_t sector_size = 0;  // the refused size with kUnsupportedSectorSize
};

// The one read-only byte source: a volume (block device) or an image file,
// its geometry, the selected range and the 64 KiB read window.
class SectorSource {
 public:
  static constexpr uint32_t kWindowBytes = 65536;
  // What a request far from every window fills.
  static constexpr uint32_t kLoneFillBytes = 4096;

  SectorSource();
  SectorSource(const SectorSource&) = delete;
  SectorSource& operator=(const SectorSource&) = delete;

  // Opens a block device (or any path treated as a volume). display_name is
  // what progress windows show after "源盘: ".
  OpenOutcome OpenVolume(const std::string& path, const std::string& display_name);
  // Opens a raw image file.
  OpenOutcome OpenImage(const std::string& path);
  // Opens an already open handle as a volume or an image (tests, fault injection).
  OpenOutcome OpenHandle(std::unique_ptr<RawHandle> handle, SourceType type,
                         const std::string& path, const std::string& display_name,
                         SourceIdentity identity = {});
  void CloseSource();

  // Moves the handle's position; the new position or -1.
  int64_t SeekTo(int64_t offset, SeekOrigin origin);
  // Copies count bytes at offset through the read window. 0 when everything
  // was delivered, else the number of bytes at the end not delivered. Where a
  // window fill failed, whole sectors are read one by one, so readable sectors
  // next to an unreadable one still arrive.
  int32_t ReadAt(uint8_t* destination, uint32_t count, int64_t offset);
  // The count bytes at offset where they lie in the read window, filled first
  // as ReadAt fills it, so the search looks at each sector without copying it.
  // Empty when they cannot all be had from one window (a stretch that failed
  // to read, the end of the range, a device that delivered less); ReadAt then
  // gets what can be had. Valid until the next call on this source.
  std::span<const uint8_t> WindowView(int64_t offset, uint32_t count);
  // One sector straight from the handle, bypassing the window.
  bool ReadSectorDirect(int64_t sector, uint8_t* destination);
  // The bytes [offset, offset + destination.size()) from the window when it
  // holds them all, else straight from the handle, leaving the window to the
  // reads that walk the candidates. False when any of them lies past the
  // range or could not be read.
  bool ReadDirect(int64_t offset, std::span<uint8_t> destination);
  // The bytes from offset to the end of the window (the read window or one
  // kept aside) that holds it, never past the range; empty when none holds
  // it. Reads nothing. Valid until the next call on this source.
  std::span<const uint8_t> HeldAt(int64_t offset) const;

  bool IsOpen() const { return handle_ != nullptr; }
  SourceType Type() const { return type_; }
  const std::string& Path() const { return path_; }
  const std::string& DisplayName() const { return display_name_; }
  bool BootSectorRecognised() const { return recognised_; }
  // The whole disk's partitions, when sector 0 is a partition table rather
  // than a boot sector.
  const PartitionTable& Partitions() const { return partitions_; }
  // Which device the source is, to keep output off it.
  const SourceIdentity& Identity() const { return identity_; }

  const VolumeGeometry& Probed() const { return probed_; }
  const VolumeGeometry& Working() const { return working_; }
  VolumeGeometry& MutableWorking() { return working_; }

  const ScanRange& Range() const { return range_; }
  void SetRange(ScanRange range) { range_ = range; }

  // Device reads done so far by window fills (for tests and benchmarks).
  uint64_t WindowFills() const { return window_fills_; }

 private:
  void DiscardWindow();
  bool WindowHolds(int64_t offset, uint32_t count) const {
    return window_length_ > 0 && offset >= window_start_ &&
           offset - window_start_ <= static_cast<int64_t>(window_length_) - count;
  }
  // The spare window holding `offset`, or none.
  int SpareHolding(int64_t offset) const;
  // Serves whole sectors one by one with direct reads; the bytes not delivered.
  uint32_t ReadAroundBadSector(uint8_t* destination, uint32_t count, int64_t offset);

  std::unique_ptr<RawHandle> handle_;
  SourceType type_ = SourceType::kClosed;
  std::string path_;
  std::string display_name_;
  SourceIdentity identity_;
  bool recognised_ = false;
  PartitionTable partitions_;
  VolumeGeometry probed_;
  VolumeGeometry working_;
  ScanRange range_;
  // Earlier windows kept aside, the least recently used given up first: the
  // carvers read ahead of the candidates the recovery walks down through
  // (a long record's end, the next header), each from a window of its own.
  struct SpareWindow {
    std::vector<uint8_t> bytes;
    int64_t start = 0;
    uint32_t length = 0;
    uint64_t used = 0;
  };
  static constexpr size_t kSpareWindows = 7;
  // Makes spare `index` the read window and the read window that spare.
  void SwapWithSpare(size_t index);
  std::array<SpareWindow, kSpareWindows> spares_;
  uint64_t window_uses_ = 0;
  std::vector<uint8_t> window_;
  int64_t window_start_ = 0;
  uint32_t window_length_ = 0;
  // Where the handle stands after our own last fill; -1 when unknown.
  int64_t handle_position_ = -1;
  // The stretch of the last fill that failed: read sector by sector.
  int64_t failed_start_ = 0;
  int64_t failed_end_ = 0;
  uint64_t window_fills_ = 0;
  // The last few bytes ReadDirect took from the handle, and where they start.
  std::vector<uint8_t> direct_bytes_;
  int64_t direct_start_ = 0;
};

}  // namespace officecarve
