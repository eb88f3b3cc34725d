// Endurance run of the player scene on a real device (needs a display; run under xvfb-run):
//  1. opens and closes across the formats (avi, wmv, mpg, bmp, jpg, gif), a frame drawn after each;
//  2. next/previous steps through a folder of good and bad files, as the two buttons step;
//  3. device re-creations: the scene manager stopped, the device released and made anew, the
//     scene manager started again, as the framework does on F2.
// After a warm-up of each phase, the resident memory and the open descriptors are taken; at the
// end of the phase they must be within 5 % of that, and no child process may be left over (the
// picture decoder runs in one per picture). Exit status 1 when a phase grew more.
// Usage: soak_player [opens=1000] [steps=10000] [recreations=100]
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/SceneManager.h"
#include "bench/support/BenchDevice.h"
#include "platform/d3d9/d3d9.h"
#include "platform/win32/Paths.h"
#include "platform/win32/win32.h"
#include "scene/SceneGlobals.h"
#include "tests/support/TempDir.h"
#include "ui/QoSceneTitle.h"

namespace fs = std::filesystem;

namespace {

struct Usage {
  double residentMiB = 0;
  int descriptors = 0;
  int threads = 0;
  int children = 0;  // child processes not yet reaped (decoder processes), zombies included
};

int CountChildren() {
  int n = 0;
  const std::string self = std::to_string(getpid());
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    // pid (comm) state ppid ...: the command may hold spaces and parentheses, so read after the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    long ppid = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &ppid) == 2 && std::to_string(ppid) == self) ++n;
  }
  return n;
}

// Live memory, not what the allocator keeps cached: free heap pages are returned first.
Usage Measure() {
  malloc_trim(0);
  Usage u;
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  u.residentMiB = static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++u.descriptors;
  }
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("Threads:", 0) == 0) u.threads = std::atoi(line.c_str() + 8);
  u.children = CountChildren();
  return u;
}

double Percent(double now, double then) {
  return then > 0 ? 100.0 * (now - then) / then : 0.0;
}

class Soak {
 public:
  Soak() {
    SetMessageBoxHook([this](HWND, std::u16string_view, std::u16string_view, UINT) {
      ++errorBoxes_;
      return IDOK;
    });
    Start();
  }
  ~Soak() { Stop(); }
  Soak(const Soak&) = delete;
  Soak& operator=(const Soak&) = delete;

  bool ok() const { return device_ && device_->get() && scene(); }
  CQoSceneTitle* scene() const { return static_cast<CQoSceneTitle*>(manager_.m_currentScene); }
  int errorBoxes() const { return errorBoxes_; }

  void Start() {
    device_ = std::make_unique<BenchDevice>(true);
    if (!device_->get()) return;
    g_hWnd = device_->window();
    manager_ = CSceneManager();
    manager_.StartSceneManager(device_->get(), device_->window());
  }
  void Stop() {
    if (device_ && device_->get()) manager_.StopSceneManager();
    g_device = nullptr;
    g_hWnd = nullptr;
    device_.reset();
  }

  // One frame as the program runs it: messages, update, draw, present.
  void Frame() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    IDirect3DDevice9* d = device_->get();
    scene()->Update();
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFF, 1.0f, 0);
    d->BeginScene();
    d->SetRenderState(D3DRS_ZENABLE, FALSE);
    scene()->Draw();
    d->EndScene();
    d->Present(nullptr, nullptr, nullptr, nullptr);
  }

 private:
  std::unique_ptr<BenchDevice> device_;
  CSceneManager manager_;
  int errorBoxes_ = 0;
};

struct Phase {
  const char* name;
  int count;
  std::function<void(int)> step;
};

// Measures in the same state each time: the welcome picture shown, and the descriptors of a closed
// video's streaming threads gone (they wind down after the close returns).
Usage Settle(Soak& soak) {
  CQoSceneTitle* scene = soak.scene();
  scene->OpenMedia(scene->m_programFolder + WELCOME_PICTURE);
  soak.Frame();
  Usage u = Measure();
  for (int i = 0; i < 20; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Usage again = Measure();
    if (again.descriptors == u.descriptors) break;
    u = again;
  }
  return u;
}

bool RunPhase(Soak& soak, const Phase& phase, std::FILE* report) {
  const int warmUp = std::max(1, phase.count / 10);
  const auto begin = std::chrono::steady_clock::now();
  for (int i = 0; i < warmUp; ++i) phase.step(i);
  const Usage start = Settle(soak);
  for (int i = warmUp; i < phase.count; ++i) {
    phase.step(i);
    if ((i + 1) % std::max(1, phase.count / 5) == 0) {
      const Usage u = Measure();
      std::fprintf(stderr, "soak: %s %d/%d: %.1f MiB, %d descriptors\n", phase.name, i + 1, phase.count, u.residentMiB,
                   u.descriptors);
    }
  }
  const Usage end = Settle(soak);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  const double memory = Percent(end.residentMiB, start.residentMiB);
  const double descriptors = Percent(end.descriptors, start.descriptors);
  const bool pass = memory <= 5.0 && descriptors <= 5.0 && end.children <= start.children;
  std::fprintf(
      report, "| %s | %d | %.0f s | %.1f -> %.1f MiB (%+.1f %%) | %d -> %d (%+.1f %%) | %d -> %d | %d -> %d | %s |\n",
      phase.name, phase.count, seconds, start.residentMiB, end.residentMiB, memory, start.descriptors, end.descriptors,
      descriptors, start.threads, end.threads, start.children, end.children, pass ? "within 5 %" : "GREW");
  std::fflush(report);
  return pass;
}

}  // namespace

int main(int argc, char** argv) {
  const int opens = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int steps = argc > 2 ? std::atoi(argv[2]) : 10000;
  const int recreations = argc > 3 ? std::atoi(argv[3]) : 100;
  const fs::path source = ORBELLE_SOURCE_DIR_DEFAULT;
  const fs::path fixtures = source / "tests" / "media" / "fixtures";
  // The program reads its art relative to the working folder: run where it is built.
  fs::current_path(ORBELLE_BIN_DIR_DEFAULT);

  // The stepping folder: good files of every format and bad ones (cut short, random bytes, empty,
  // a header claiming a huge picture, text named as a picture).
  const TempDir stepping("orbelle-soak");
  const fs::path& folder = stepping.path();
  for (const char* name :
       {"clip.avi", "clip.wmv", "clip.mpg", "pattern.bmp", "quadrants.jpg", "quadrants.gif", "animated.gif",
        "pattern_topdown.bmp", "truncated.jpg", "random.jpg", "truncated.avi", "empty.avi", "random.wmv", "huge.bmp"})
    fs::copy_file(fixtures / name, folder / name, fs::copy_options::overwrite_existing);
  std::ofstream(folder / "text.bmp") << "not a picture\n";
  std::ofstream(folder / "zero.gif");

  Soak soak;
  if (!soak.ok()) {
    std::fprintf(stderr, "soak: no device or scene (is DISPLAY set?)\n");
    return 2;
  }
  const std::vector<std::u16string> formats = {
      Win32FromNativePath((fixtures / "clip.avi").string()),
      Win32FromNativePath((fixtures / "clip.wmv").string()),
      Win32FromNativePath((fixtures / "clip.mpg").string()),
      Win32FromNativePath((fixtures / "pattern.bmp").string()),
      Win32FromNativePath((fixtures / "quadrants.jpg").string()),
      Win32FromNativePath((fixtures / "quadrants.gif").string()),
  };

  std::printf("| phase | count | time | resident memory | open descriptors | threads | child processes | result |\n");
  std::printf("| --- | --- | --- | --- | --- | --- | --- | --- |\n");
  bool pass = true;
  pass &= RunPhase(soak,
                   {"opens and closes", opens,
                    [&](int i) {
                      soak.scene()->OpenMedia(formats[static_cast<std::size_t>(i) % formats.size()]);
                      soak.Frame();
                    }},
                   stdout);
  soak.scene()->m_files.Rebuild(Win32FromNativePath(folder.string()) + u"\\");
  std::fprintf(stderr, "soak: %d files in the stepping folder\n", soak.scene()->m_files.Count());
  const int boxesBefore = soak.errorBoxes();
  pass &= RunPhase(soak,
                   {"next/previous steps", steps,
                    [&](int i) {
                      // Three forward, one back: every file is met from both sides.
                      CQoSceneTitle* scene = soak.scene();
                      scene->OpenMedia(i % 4 == 3 ? scene->m_files.StepPrevious(scene->m_currentIndex)
                                                  : scene->m_files.StepNext(scene->m_currentIndex));
                      soak.Frame();
                    }},
                   stdout);
  std::fprintf(stderr, "soak: %d error boxes while stepping\n", soak.errorBoxes() - boxesBefore);
  pass &= RunPhase(soak,
                   {"device re-creations", recreations,
                    [&](int) {
                      soak.Stop();
                      soak.Start();
                      soak.Frame();
                    }},
                   stdout);
  return pass ? 0 : 1;
}
