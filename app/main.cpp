// Linux entry: reads the command line, refuses to run without a visible display, starts in the
// program's own folder (where it finds its data, wherever it was started from), then runs the
// viewer's entry function.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/WinMain.h"
#include "platform/dshow/dshow.h"
#include "platform/win32/DisplayCheck.h"
#include "platform/win32/DisplayScale.h"
#include "platform/win32/win32.h"

#ifndef ORBELLE_VERSION
#define ORBELLE_VERSION "unknown"
#endif

namespace {

std::string WorkingFolder() {
  std::vector<char> buffer(4096);
  while (!::getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string HostName() {
  char name[256] = {};
  return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

// The program's images, fonts and sounds sit in folders beside the program file, both in the
// build tree and where it is installed, and the viewer reads them relative to the working folder.
bool EnterProgramFolder() {
  std::vector<WCHAR> module(4096);
  const DWORD length = GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
  if (length == 0 || length >= module.size()) return false;
  std::u16string folder(module.data(), length);
  const std::size_t slash = folder.find_last_of(u'\\');
  if (slash == std::u16string::npos) return false;
  folder.resize(slash == 0 ? 1 : slash);
  return SetCurrentDirectoryW(folder.c_str()) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  const StartRequest request =
      ParseCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), WorkingFolder(), HostName());
  switch (request.action) {
    case StartRequest::Action::Help:
      std::fputs(kHelpText, stdout);
      return 0;
    case StartRequest::Action::Version:
      std::puts("orbelle-player " ORBELLE_VERSION);
      return 0;
    case StartRequest::Action::UsageError:
      std::fprintf(stderr, "orbelle-player: %s\n%sTry 'orbelle-player --help' for more information.\n",
                   request.error.c_str(), kUsageText);
      return 2;
    case StartRequest::Action::Run:
      break;
  }

  std::string why;
  if (!Win32DisplayAvailable(&why)) {
    std::fprintf(stderr, "orbelle-player: %s.\nStart it from a desktop session, or under xvfb-run.\n", why.c_str());
    return 1;
  }
  // On a screen the desktop enlarges, the window is enlarged as a whole (DisplayScale.h).
  Win32SetWindowScale(request.scale ? request.scale
                                    : Win32ScaleFromDesktop(std::getenv("GDK_SCALE"), Win32XftDpi().c_str()));
  if (!EnterProgramFolder())
    std::fprintf(stderr,
                 "orbelle-player: cannot enter the program's folder; images, fonts and sounds may be missing.\n");
  // The worker that will open the first file loads its decoders while the window and the device
  // start, and a file named here is opened and decoded in it meanwhile: the player scene's first
  // open finds it ready.
  PrepareMediaWorker();
  if (!request.file.empty()) ReadAheadMediaFile(request.file.c_str(), false);
  RegisterProgramResources();
  PreferDrawingThreadRasteriser();
  std::u16string file = request.file;
  return wWinMain(GetModuleHandleW(nullptr), nullptr, file.empty() ? nullptr : file.data(), 1);
}
