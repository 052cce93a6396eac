// Counts heap allocations made on the measuring thread while counting is
// on, by replacing the global allocation functions of this program.
#include <cstdlib>
#include <new>

#include "alloc_counter.h"

namespace zarvo::bench {
namespace {
thread_local bool counting = false;
thread_local unsigned long long allocations = 0;
}  // namespace

void StartCountingAllocations() {
  allocations = 0;
  counting = true;
}

unsigned long long StopCountingAllocations() {
  counting = false;
  return allocations;
}

}  // namespace zarvo::bench

void* operator new(std::size_t size) {
  if (zarvo::bench::counting) ++zarvo::bench::allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
