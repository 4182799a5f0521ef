#include "scan/carver_workspace.h"

#include <algorithm>
#include <cstring>

namespace officecarve {

void ByteBuffer::Resize(size_t size) {
  if (size > capacity_) {
    // Geometric growth: a file of n bytes costs about log n copies.
    const size_t capacity = std::max({size, 2 * capacity_, size_t{64} << 10});
    std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
    if (size_ > 0) std::memcpy(grown.get(), storage_.get(), size_);
    storage_ = std::move(grown);
    capacity_ = capacity;
  }
  size_ = size;
}

void ByteBuffer::Clear(size_t keep_bytes) {
  size_ = 0;
  if (capacity_ > keep_bytes) {
    storage_.reset();
    capacity_ = 0;
  }
}

}  // namespace officecarve
