// Fault injection for the edge-guard tests: while a FailAllocationsFrom is alive, the n-th
// allocation through operator new on this thread and every one after it throw std::bad_alloc.
// The replacement operator new lives in FailingAllocations.cpp and serves the whole test
// program; unarmed, it is plain malloc.
#pragma once

class FailAllocationsFrom {
 public:
  explicit FailAllocationsFrom(long n);
  ~FailAllocationsFrom();
  FailAllocationsFrom(const FailAllocationsFrom&) = delete;
  FailAllocationsFrom& operator=(const FailAllocationsFrom&) = delete;
  // Whether an allocation was refused while armed.
  static bool Refused();
};
