#include "FailingAllocations.h"

#include <cstdlib>
#include <new>

namespace {
thread_local long g_allowed = -1;  // allocations left before they fail; -1: never fail
thread_local bool g_refused = false;
}  // namespace

FailAllocationsFrom::FailAllocationsFrom(long n) {
  g_allowed = n;
  g_refused = false;
}

FailAllocationsFrom::~FailAllocationsFrom() {
  g_allowed = -1;
}

bool FailAllocationsFrom::Refused() {
  return g_refused;
}

void* operator new(std::size_t size) {
  if (g_allowed == 0) {
    g_refused = true;
    throw std::bad_alloc();
  }
  if (g_allowed > 0) --g_allowed;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
