#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace officecarve {

// A growable block of bytes that keeps its storage from one use to the next
// and never clears what it adds: a carver's buffer is filled from the source,
// so clearing it first would only cost page faults.
class ByteBuffer {
 public:
  uint8_t* data() { return storage_.get(); }
  const uint8_t* data() const { return storage_.get(); }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  // Bytes up to the old size are kept; new ones are left as they are.
  void Resize(size_t size);
  // Empties the buffer, keeping at most `keep_bytes` of storage.
  void Clear(size_t keep_bytes);

 private:
  std::unique_ptr<uint8_t[]> storage_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// A stretch of consecutive units a carver call claimed.
struct UnitRun {
  int64_t first = 0;
  int64_t count = 0;
  int64_t last() const { return first + count - 1; }
  bool operator==(const UnitRun&) const = default;
};

// From which unit of a call's buffer on how many more units were claimed
// than held: the units a skip claimed unread.
struct SkipMark {
  uint64_t buffer_unit;
  uint64_t skipped;
};

// What the carver calls of one scan reuse, one call after another, so a
// candidate that fails at its header allocates nothing. A call that finds
// it taken (a carver inside a carver) uses storage of its own.
class CarverWorkspace {
 public:
  // A buffer grown past this for one large file is given back when its
  // call ends; the next ones rarely need it.
  static constexpr size_t kKeptBytes = 8u << 20;

  ByteBuffer bytes;
  std::vector<UnitRun> runs;
  std::vector<SkipMark> skip_marks;
  std::vector<int64_t> chain_records;
  bool in_use = false;
};

}  // namespace officecarve
