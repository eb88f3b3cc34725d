#include "platform/worker/ProcessorCount.h"

#include <sched.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <atomic>

extern "C" long __sysconf(int name);

namespace worker {
namespace {

std::atomic<int> g_count{0};

}  // namespace

void CountProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  const int count = sched_getaffinity(0, sizeof(set), &set) == 0 ? CPU_COUNT(&set) : 0;
  g_count = count > 0 ? count : 1;
}

}  // namespace worker

extern "C" {

long sysconf(int name) {
  const int count = worker::g_count.load(std::memory_order_relaxed);
  if (count > 0 && (name == _SC_NPROCESSORS_ONLN || name == _SC_NPROCESSORS_CONF)) return count;
  return __sysconf(name);
}

int get_nprocs() {
  const int count = worker::g_count.load(std::memory_order_relaxed);
  return count > 0 ? count : static_cast<int>(__sysconf(_SC_NPROCESSORS_ONLN));
}

int get_nprocs_conf() {
  const int count = worker::g_count.load(std::memory_order_relaxed);
  return count > 0 ? count : static_cast<int>(__sysconf(_SC_NPROCESSORS_CONF));
}

}  // extern "C"
