// The thread's last error.
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
