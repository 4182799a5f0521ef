#include "testimage/memory_handle.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace officecarve::testimage {

MemoryHandle::MemoryHandle(std::shared_ptr<const std::vector<uint8_t>> bytes,
                           uint32_t fault_sector_bytes)
    : bytes_(std::move(bytes)), fault_sector_bytes_(fault_sector_bytes) {}

MemoryHandle::MemoryHandle(std::vector<uint8_t> bytes, uint32_t fault_sector_bytes)
    : MemoryHandle(std::make_shared<const std::vector<uint8_t>>(std::move(bytes)),
                   fault_sector_bytes) {}

void MemoryHandle::ActAsDevice(std::optional<int64_t> length, std::optional<uint32_t> sector_size) {
  is_device_ = true;
  device_length_ = length;
  sector_size_ = sector_size;
}

bool MemoryHandle::Vanished() const {
  return vanish_after_reads_ && counters_->reads > *vanish_after_reads_;
}

int64_t MemoryHandle::Seek(int64_t offset, SeekOrigin origin) {
  ++counters_->seeks;
  const int64_t size = static_cast<int64_t>(bytes_->size());
  const int64_t target = origin == SeekOrigin::kBegin ? offset : size + offset;
  if (fail_seeks_ || target < 0 || Vanished()) {
    last_error_ = EINVAL;
    return -1;
  }
  position_ = target;
  return position_;
}

int64_t MemoryHandle::Read(std::span<uint8_t> dest) {
  ++counters_->reads;
  if (Vanished()) {
    last_error_ = ENODEV;
    return -1;
  }
  const int64_t size = static_cast<int64_t>(bytes_->size());
  const int64_t available = std::max<int64_t>(0, size - position_);
  int64_t count = std::min<int64_t>(available, static_cast<int64_t>(dest.size()));
  if (read_limit_) count = std::min<int64_t>(count, *read_limit_);
  if (count > 0) {
    const int64_t first = position_ / fault_sector_bytes_;
    const int64_t last = (position_ + count - 1) / fault_sector_bytes_;
    auto bad = unreadable_->lower_bound(first);
    if (bad != unreadable_->end() && *bad <= last) {
      last_error_ = EIO;
      return -1;
    }
    std::memcpy(dest.data(), bytes_->data() + position_, static_cast<size_t>(count));
  }
  position_ += count;
  counters_->bytes_read += static_cast<uint64_t>(count);
  return count;
}

}  // namespace officecarve::testimage
