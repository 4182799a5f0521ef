#include "source/sector_source.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "source/boot_probe.h"

namespace officecarve {

SectorSource::SectorSource() : window_(kWindowBytes) {}

OpenOutcome SectorSource::OpenVolume(const std::string& path, const std::string& display_name) {
  CloseSource();
  RawOpenResult opened = OpenRawReadOnly(path);
  if (!opened.handle) return {false, TextId::kOpenDriveFailed, opened.error};
  return OpenHandle(std::move(opened.handle), SourceType::kVolume, path, display_name,
                    IdentifySource(path));
}

OpenOutcome SectorSource::OpenImage(const std::string& path) {
  CloseSource();
  RawOpenResult opened = OpenRawReadOnly(path);
  if (!opened.handle) return {false, TextId::kOpenFileFailed, opened.error};
  return OpenHandle(std::move(opened.handle), SourceType::kImage, path, path, IdentifySource(path));
}

OpenOutcome SectorSource::OpenHandle(std::unique_ptr<RawHandle> handle, SourceType type,
                                     const std::string& path, const std::string& display_name,
                                     SourceIdentity identity) {
  CloseSource();
  const bool volume = type == SourceType::kVolume;
  int64_t length = -1;
  if (volume) {
    const auto device_length = handle->DeviceLength();
    if (!device_length || *device_length < 0) {
      return {false, TextId::kGetParametersFailed, handle->LastError()};
    }
    length = *device_length;
  } else {
    length = handle->Seek(0, SeekOrigin::kEnd);
    if (length < 0) return {false, TextId::kOpenFileFailed, handle->LastError()};
  }

  const ProbeResult probe = ProbeBootSector(*handle);
  VolumeGeometry geometry = probe.geometry;
  if (!probe.recognised) {
    geometry = VolumeGeometry{};
    geometry.kind = FileSystemKind::kOther;
    geometry.bytes_per_sector = volume ? handle->LogicalSectorSize().value_or(512) : 512;
    geometry.sectors_per_cluster = 1;
    geometry.cluster_phase = -1;
  }
  if (!IsSupportedSectorSize(geometry.bytes_per_sector)) {
    OpenOutcome refused{false, TextId::kUnsupportedSectorSize, 0};
    refused.sector_size = geometry.bytes_per_sector;
    return refused;
  }
  geometry.last_sector = length / geometry.bytes_per_sector - 1;
  PartitionTable partitions;
  if (!probe.recognised) {
    partitions = ReadPartitionTable(*handle, geometry.bytes_per_sector, geometry.last_sector + 1);
  }

  handle_ = std::move(handle);
  type_ = type;
  path_ = path;
  display_name_ = display_name;
  identity_ = identity;
  recognised_ = probe.recognised;
  partitions_ = std::move(partitions);
  probed_ = geometry;
  working_ = geometry;
  range_ = {0, geometry.last_sector};
  DiscardWindow();
  return {true, TextId::kOpenFileFailed, 0};
}

void SectorSource::CloseSource() {
  handle_.reset();
  type_ = SourceType::kClosed;
  path_.clear();
  display_name_.clear();
  identity_ = {};
  recognised_ = false;
  partitions_ = {};
  probed_ = {};
  working_ = {};
  range_ = {};
  DiscardWindow();
}

void SectorSource::DiscardWindow() {
  handle_position_ = -1;
  window_start_ = 0;
  window_length_ = 0;
  for (SpareWindow& spare : spares_) spare.length = 0;
  failed_start_ = 0;
  failed_end_ = 0;
  direct_bytes_.clear();
}

int SectorSource::SpareHolding(int64_t offset) const {
  for (size_t index = 0; index < spares_.size(); ++index) {
    const SpareWindow& spare = spares_[index];
    if (spare.length > 0 && offset >= spare.start &&
        offset < spare.start + static_cast<int64_t>(spare.length)) {
      return static_cast<int>(index);
    }
  }
  return -1;
}

void SectorSource::SwapWithSpare(size_t index) {
  SpareWindow& spare = spares_[index];
  std::swap(window_, spare.bytes);
  std::swap(window_start_, spare.start);
  std::swap(window_length_, spare.length);
  spare.used = ++window_uses_;
  if (window_.size() < kWindowBytes) window_.resize(kWindowBytes);
}

int64_t SectorSource::SeekTo(int64_t offset, SeekOrigin origin) {
  handle_position_ = -1;
  if (!handle_) return -1;
  return handle_->Seek(offset, origin);
}

int32_t SectorSource::ReadAt(uint8_t* destination, uint32_t count, int64_t offset) {
  const uint32_t requested = count;
  if (!handle_ || offset < 0) return static_cast<int32_t>(requested);
  const int64_t bytes_per_sector = working_.bytes_per_sector;
  // Past this the window is not refilled; bytes already held are still served.
  // A stored range is not necessarily a valid one: keep the product in range.
  int64_t end_bound = 0;
  if (range_.last >= 0 && bytes_per_sector > 0) {
    end_bound = range_.last < INT64_MAX / bytes_per_sector - 1
                    ? (range_.last + 1) * bytes_per_sector
                    : INT64_MAX;
  }
  // Set when a fill placed before the request came back too short to reach it.
  bool fill_from_request = false;
  while (true) {
    if (!WindowHolds(offset, 1)) {
      const int spare = SpareHolding(offset);
      if (spare >= 0) SwapWithSpare(static_cast<size_t>(spare));
    }
    if (WindowHolds(offset, 1)) {
      const int64_t in_window = window_start_ + window_length_ - offset;
      const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(count, in_window));
      std::memcpy(destination, window_.data() + (offset - window_start_), n);
      destination += n;
      offset += n;
      count -= n;
    }
    if (count == 0) return 0;
    // A read across a window's end goes on in the window kept aside above.
    if (SpareHolding(offset) >= 0) continue;
    if (offset >= end_bound) return static_cast<int32_t>(count);

    if (offset >= failed_start_ && offset < failed_end_) {
      return static_cast<int32_t>(ReadAroundBadSector(destination, count, offset));
    }

    // The recovery takes its candidates from the last to the first, and the
    // carvers' reads ahead of them step down too: when the request lies just
    // before a window, the new one ends where that window starts, so a walk
    // down reads each byte once, and the reads a little ahead of each request
    // are served from the window above, kept aside.
    int64_t next_start = INT64_MAX;
    auto note_if_just_above = [offset, &next_start](int64_t start_of, uint32_t length) {
      if (length > 0 && offset < start_of && start_of - offset < int64_t{kWindowBytes}) {
        next_start = std::min(next_start, start_of);
      }
    };
    note_if_just_above(window_start_, window_length_);
    for (const SpareWindow& spare : spares_) note_if_just_above(spare.start, spare.length);
    // A request well above the window in use (a lone header far ahead, a peek
    // past a long record) gets a few sectors: the recovery has been there
    // already, and a whole window would be read again for them. Reads that
    // go on from there get twice as many each time.
    uint32_t fill_bytes = kWindowBytes;
    bool on_grid = next_start == INT64_MAX && !fill_from_request;
    if (on_grid && window_length_ > 0 && offset >= window_start_) {
      if (offset - window_start_ >= 2 * int64_t{kWindowBytes}) {
        fill_bytes = kLoneFillBytes;
      } else if (window_length_ < kWindowBytes / 2) {
        fill_bytes = std::max(kLoneFillBytes, std::bit_ceil(2 * window_length_));
        on_grid = false;
      }
    }
    // The window is kept aside for what comes back to it, in place of the
    // spare used least recently.
    if (window_length_ > 0 && !fill_from_request) {
      size_t oldest = 0;
      for (size_t index = 1; index < spares_.size(); ++index) {
        if (spares_[index].used < spares_[oldest].used) oldest = index;
      }
      SwapWithSpare(oldest);
    }
    int64_t start = offset;
    if (next_start != INT64_MAX && !fill_from_request) {
      start = next_start - static_cast<int64_t>(kWindowBytes);
      start -= bytes_per_sector > 0 ? start % bytes_per_sector : 0;
    } else if (on_grid) {
      // Windows on one grid follow each other without overlapping.
      start -= start % fill_bytes;
    }
    // The window ends exactly at the end bound when the request is near it.
    if (!fill_from_request) {
      if (start > end_bound - static_cast<int64_t>(fill_bytes)) start = end_bound - fill_bytes;
      if (start < 0) start = 0;
    }
    // A scan fills window after window front to back: the handle is then
    // already where the next fill starts, and the seek would be wasted.
    if (handle_position_ != start && handle_->Seek(start, SeekOrigin::kBegin) != start) {
      handle_position_ = -1;
      window_length_ = 0;
      return static_cast<int32_t>(count);
    }
    ++window_fills_;
    const int64_t got = handle_->Read(std::span<uint8_t>(window_.data(), fill_bytes));
    handle_position_ = got >= 0 ? start + got : -1;
    if (got < 0) {
      // Some sector of these bytes cannot be read. The readable ones around
      // it are still wanted (a document may run right past a bad sector), so
      // this stretch is served sector by sector from now on instead of
      // failing every request that touches it.
      window_length_ = 0;
      failed_start_ = start;
      failed_end_ = start + fill_bytes;
      return static_cast<int32_t>(ReadAroundBadSector(destination, count, offset));
    }
    window_start_ = start;
    window_length_ = static_cast<uint32_t>(got);
    if (offset < window_start_ || offset >= window_start_ + static_cast<int64_t>(window_length_)) {
      // A device that delivers less than asked (some do) ended before the
      // request; read from the request itself rather than give the bytes up.
      if (got > 0 && start < offset && !fill_from_request) {
        fill_from_request = true;
        continue;
      }
      return static_cast<int32_t>(count);
    }
  }
}

std::span<const uint8_t> SectorSource::WindowView(int64_t offset, uint32_t count) {
  if (!WindowHolds(offset, count)) {
    // A one-byte read fills the window from the offset, as a whole read would,
    // but never reads around a bad stretch: that is left to ReadAt.
    uint8_t first = 0;
    if (count == 0 || ReadAt(&first, 1, offset) != 0 || !WindowHolds(offset, count)) return {};
  }
  return {window_.data() + (offset - window_start_), count};
}

std::span<const uint8_t> SectorSource::HeldAt(int64_t offset) const {
  const int64_t bytes_per_sector = working_.bytes_per_sector;
  if (range_.last < 0 || bytes_per_sector <= 0 || range_.last >= INT64_MAX / bytes_per_sector - 1) {
    return {};
  }
  const int64_t range_end = (range_.last + 1) * bytes_per_sector;
  auto from = [&](const std::vector<uint8_t>& bytes, int64_t start, uint32_t length) {
    const int64_t end = std::min(start + static_cast<int64_t>(length), range_end);
    return std::span<const uint8_t>(bytes).subspan(static_cast<size_t>(offset - start),
                                                   static_cast<size_t>(end - offset));
  };
  if (offset >= range_end) return {};
  if (WindowHolds(offset, 1)) return from(window_, window_start_, window_length_);
  if (const int index = SpareHolding(offset); index >= 0) {
    const SpareWindow& spare = spares_[static_cast<size_t>(index)];
    return from(spare.bytes, spare.start, spare.length);
  }
  return {};
}

bool SectorSource::ReadDirect(int64_t offset, std::span<uint8_t> destination) {
  const int64_t bytes_per_sector = working_.bytes_per_sector;
  if (!handle_ || offset < 0 || range_.last < 0 || bytes_per_sector <= 0 ||
      range_.last >= INT64_MAX / bytes_per_sector - 1) {
    return false;
  }
  const auto count = static_cast<int64_t>(destination.size());
  if (offset > (range_.last + 1) * bytes_per_sector - count) return false;
  // Served from the windows while they hold the bytes, which may run from
  // one into another (a search's seam often does); the rest is read.
  while (!destination.empty()) {
    const std::span<const uint8_t> held = HeldAt(offset);
    if (held.empty()) break;
    const size_t n = std::min(held.size(), destination.size());
    std::memcpy(destination.data(), held.data(), n);
    destination = destination.subspan(n);
    offset += static_cast<int64_t>(n);
  }
  if (destination.empty()) return true;
  // Candidates after candidate peek at the same unit far ahead (where a size
  // they all declare ends): the last few bytes read here are kept for them.
  const auto rest = static_cast<int64_t>(destination.size());
  if (offset >= direct_start_ &&
      offset - direct_start_ <= static_cast<int64_t>(direct_bytes_.size()) - rest) {
    std::memcpy(destination.data(), direct_bytes_.data() + (offset - direct_start_),
                destination.size());
    return true;
  }
  handle_position_ = -1;
  if (handle_->Seek(offset, SeekOrigin::kBegin) != offset) return false;
  const std::span<uint8_t> read = destination;
  while (!destination.empty()) {
    const int64_t got = handle_->Read(destination);
    if (got <= 0) return false;
    destination = destination.subspan(static_cast<size_t>(got));
  }
  if (read.size() <= kLoneFillBytes) {
    direct_bytes_.assign(read.begin(), read.end());
    direct_start_ = offset;
  }
  return true;
}

uint32_t SectorSource::ReadAroundBadSector(uint8_t* destination, uint32_t count, int64_t offset) {
  const uint32_t bytes_per_sector = working_.bytes_per_sector;
  while (count >= bytes_per_sector && offset % bytes_per_sector == 0) {
    if (!ReadSectorDirect(offset / bytes_per_sector, destination)) return count;
    destination += bytes_per_sector;
    offset += bytes_per_sector;
    count -= bytes_per_sector;
  }
  return count;
}

bool SectorSource::ReadSectorDirect(int64_t sector, uint8_t* destination) {
  const int64_t bytes_per_sector = working_.bytes_per_sector;
  if (!handle_ || sector < 0 || sector > INT64_MAX / bytes_per_sector) return false;
  const int64_t offset = sector * bytes_per_sector;
  handle_position_ = -1;
  if (handle_->Seek(offset, SeekOrigin::kBegin) != offset) return false;
  // A device may deliver a sector in pieces; only an error or the end stops it.
  int64_t done = 0;
  while (done < bytes_per_sector) {
    const int64_t got = handle_->Read(
        std::span<uint8_t>(destination + done, static_cast<size_t>(bytes_per_sector - done)));
    if (got <= 0) return false;
    done += got;
  }
  return true;
}

}  // namespace officecarve
