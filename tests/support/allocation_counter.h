#pragma once

#include <cstdint>

namespace officecarve::testing {

// Counts the calls of the global operator new made by this thread while the
// object lives. The replacement operator new that feeds it is linked into the
// whole test binary; outside a counting scope it costs one thread-local test.
class AllocationCounter {
 public:
  AllocationCounter();
  ~AllocationCounter();
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;

  // Allocations since this object was created.
  uint64_t Count() const;
  // The largest single allocation since then (of the innermost counter).
  uint64_t LargestBytes() const;

 private:
  uint64_t start_;
};

}  // namespace officecarve::testing
