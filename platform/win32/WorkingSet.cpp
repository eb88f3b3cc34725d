#include "platform/win32/WorkingSet.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

namespace {

constexpr long kGrowthBytes = 16L << 20;

std::atomic<bool> dropping{false};
std::atomic<long> sharedAfterDrop{-1};  // pages; -1 until measured

// Resident pages backed by a file or shared memory (the third field of /proc/self/statm, read
// from counters the kernel keeps, without walking the page tables). -1 when unreadable.
long SharedPages() {
  static const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  char text[128];
  const ssize_t n = fd < 0 ? -1 : pread(fd, text, sizeof text - 1, 0);
  if (n <= 0) return -1;
  text[n] = '\0';
  long size = 0, resident = 0, shared = 0;
  return std::sscanf(text, "%ld %ld %ld", &size, &resident, &shared) == 3 ? shared : -1;
}

bool Traced() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return true;  // unknown: as if traced, and leave the pages alone
  char line[256];
  bool traced = false;
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "TracerPid:", 10) == 0) {
      traced = std::strtol(line + 10, nullptr, 10) != 0;
      break;
    }
  }
  std::fclose(f);
  return traced;
}

bool HasTextRelocations(const dl_phdr_info* info) {
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& p = info->dlpi_phdr[i];
    if (p.p_type != PT_DYNAMIC) continue;
    for (auto* d = reinterpret_cast<const ElfW(Dyn)*>(info->dlpi_addr + p.p_vaddr); d->d_tag != DT_NULL; ++d)
      if (d->d_tag == DT_TEXTREL || (d->d_tag == DT_FLAGS && (d->d_un.d_val & DF_TEXTREL))) return true;
  }
  return false;
}

int DropObject(dl_phdr_info* info, std::size_t, void* data) {
  // The vdso has no file behind it, and an object the loader wrote into has pages of its own.
  if (!info->dlpi_name || std::strstr(info->dlpi_name, "linux-vdso") || HasTextRelocations(info)) return 0;
  const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& p = info->dlpi_phdr[i];
    // Segments without write access hold file bytes only; the loader's relocations go to writable
    // ones (including the part made read-only after them, which is not a segment of its own).
    if (p.p_type != PT_LOAD || (p.p_flags & PF_W)) continue;
    std::uintptr_t begin = info->dlpi_addr + p.p_vaddr, end = begin + p.p_filesz;
    begin = (begin + page - 1) & ~(page - 1);
    end &= ~(page - 1);
    if (end > begin && madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED) == 0)
      *static_cast<std::size_t*>(data) += end - begin;
  }
  return 0;
}

}  // namespace

std::size_t Win32DropCodePages() {
  if (Traced()) return 0;
  std::size_t dropped = 0;
  dl_iterate_phdr(&DropObject, &dropped);
  return dropped;
}

void Win32DropCodePagesSoon() {
  if (dropping.exchange(true)) return;
  try {
    std::thread([] {
      Win32DropCodePages();
      sharedAfterDrop = SharedPages();
      dropping = false;
    }).detach();
  } catch (const std::system_error&) {
    dropping = false;  // no thread to be had: the pages stay, which is only memory
  }
}

void Win32DropCodePagesIfGrown() {
  if (dropping) return;
  const long now = SharedPages();
  if (now < 0) return;
  long since = sharedAfterDrop;
  if (since < 0) {
    sharedAfterDrop.compare_exchange_strong(since, now);
    return;
  }
  if ((now - since) * sysconf(_SC_PAGESIZE) >= kGrowthBytes) Win32DropCodePagesSoon();
}
