#include "support/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace officecarve::testing {
namespace {

// Plain thread-locals need no constructor, so operator new can use them at
// any time, even during static initialisation.
thread_local uint64_t t_allocations = 0;
thread_local int t_counting_scopes = 0;
thread_local uint64_t t_largest = 0;

void* Allocate(std::size_t size) {
  if (t_counting_scopes > 0) {
    ++t_allocations;
    if (size > t_largest) t_largest = size;
  }
  if (size == 0) size = 1;
  while (true) {
    if (void* memory = std::malloc(size)) return memory;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

}  // namespace

AllocationCounter::AllocationCounter() : start_(t_allocations) {
  ++t_counting_scopes;
  t_largest = 0;
}

AllocationCounter::~AllocationCounter() { --t_counting_scopes; }

uint64_t AllocationCounter::Count() const { return t_allocations - start_; }

uint64_t AllocationCounter::LargestBytes() const { return t_largest; }

}  // namespace officecarve::testing

// Every form that pairs with the plain delete is replaced, so memory from
// malloc always goes back to free. The over-aligned forms are left to the
// library: they pair with its own aligned delete, which is not replaced.
void* operator new(std::size_t size) { return officecarve::testing::Allocate(size); }
void* operator new[](std::size_t size) { return officecarve::testing::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return officecarve::testing::Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return ::operator new(size, std::nothrow);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
