// COM start-up, counted per thread as on Windows, and the common controls.
#include "platform/win32/win32.h"

namespace {
thread_local int comInitCount = 0;
}

HRESULT CoInitializeEx(LPVOID, DWORD) {
  return comInitCount++ == 0 ? S_OK : S_FALSE;
}
HRESULT CoInitialize(LPVOID reserved) {
  return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}
void CoUninitialize() {
  if (comInitCount > 0) --comInitCount;
}
void InitCommonControls() {}
