#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <vector>

#include "platform/raw_handle.h"

namespace officecarve::testimage {

// A RawHandle over bytes in memory that can make chosen sectors unreadable,
// cut reads short, refuse seeks, and counts the reads it serves.
class MemoryHandle : public RawHandle {
 public:
  struct Counters {
    uint64_t reads = 0;
    uint64_t bytes_read = 0;
    uint64_t seeks = 0;
  };

  MemoryHandle(std::shared_ptr<const std::vector<uint8_t>> bytes,
               uint32_t fault_sector_bytes = 512);
  explicit MemoryHandle(std::vector<uint8_t> bytes, uint32_t fault_sector_bytes = 512);

  // A read that touches one of these sectors (in fault_sector_bytes units) fails.
  void MakeUnreadable(int64_t sector) { unreadable_->insert(sector); }
  void MakeReadable(int64_t sector) { unreadable_->erase(sector); }
  // Pretend to be a block device of this length and logical sector size.
  void ActAsDevice(std::optional<int64_t> length, std::optional<uint32_t> sector_size);
  void FailSeeks(bool fail) { fail_seeks_ = fail; }
  // Every read after the first `reads` fails as if the device had been
  // unplugged; so does every seek.
  void VanishAfterReads(uint64_t reads) { vanish_after_reads_ = reads; }
  // Each read delivers at most this many bytes, as some devices and network
  // files do.
  void LimitReadBytes(uint32_t bytes) { read_limit_ = bytes; }

  // Shared so a test keeps watching after the source took ownership.
  std::shared_ptr<Counters> counters() const { return counters_; }
  std::shared_ptr<std::set<int64_t>> unreadable() const { return unreadable_; }

  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Read(std::span<uint8_t> dest) override;
  std::optional<int64_t> DeviceLength() override { return device_length_; }
  std::optional<uint32_t> LogicalSectorSize() override { return sector_size_; }
  bool IsBlockDevice() const override { return is_device_; }
  int LastError() const override { return last_error_; }

 private:
  bool Vanished() const;

  std::shared_ptr<const std::vector<uint8_t>> bytes_;
  uint32_t fault_sector_bytes_;
  int64_t position_ = 0;
  std::shared_ptr<std::set<int64_t>> unreadable_ = std::make_shared<std::set<int64_t>>();
  std::shared_ptr<Counters> counters_ = std::make_shared<Counters>();
  bool is_device_ = false;
  bool fail_seeks_ = false;
  std::optional<uint64_t> vanish_after_reads_;
  std::optional<uint32_t> read_limit_;
  std::optional<int64_t> device_length_;
  std::optional<uint32_t> sector_size_;
  int last_error_ = 0;
};

}  // namespace officecarve::testimage
