// The thread's last error and the once-only log of unsupported requests.
#include <cstdio>
#include <mutex>
#include <set>
#include <string>

#include "platform/win32/Win32State.h"

namespace {
thread_local DWORD lastError = 0;
}

DWORD GetLastError() {
  return lastError;
}
void SetLastError(DWORD code) {
  lastError = code;
}

void Win32LogOnce(const char* function, const std::string& detail) {
  static std::mutex mutex;
  static std::set<std::string> seen;
  std::lock_guard lock(mutex);
  if (seen.insert(std::string(function) + ":" + detail).second)
    std::fprintf(stderr, "win32: %s: %s not supported\n", function, detail.c_str());
}
