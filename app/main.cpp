// Linux entry: refuses to run without a visible display, then starts the viewer's entry function.
#include <cstdio>
#include <string>

#include "app/WinMain.h"
#include "platform/win32/DisplayCheck.h"
#include "platform/win32/win32.h"

int main() {
  std::string why;
  if (!Win32DisplayAvailable(&why)) {
    std::fprintf(stderr, "orbelle-player: %s.\nStart it from a desktop session, or under xvfb-run.\n", why.c_str());
    return 1;
  }
  RegisterProgramResources();
  return wWinMain(GetModuleHandleW(nullptr), nullptr, nullptr, 1);
}
