// The frame thread's CPU time for one frame of the real program (Advance, DrawFrame, Present)
// while a 640 x 480 video plays in the player scene, and its share of the 16.7 ms frame budget;
// beside it the CPU time of the whole process per frame (decoding and the software rasteriser's
// own threads, which the frame thread's figure leaves out). The frame pacer keeps the real 60 Hz
// rhythm; its sleeping costs no CPU time. Needs a display (run under xvfb-run) and ffmpeg.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/MyD3DApplication.h"
#include "app/SceneManager.h"
#include "app/WinMain.h"
#include "media/MovieSource.h"
#include "platform/win32/Paths.h"
#include "platform/win32/win32.h"
#include "scene/SceneGlobals.h"
#include "tests/support/TempDir.h"
#include "ui/QoSceneTitle.h"

extern char** environ;

namespace {

constexpr double kFrameBudgetMs = 1000.0 / 60.0;

double CpuMs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A 640 x 480 MPEG-4 clip of moving test pictures at 30 frames a second.
bool MakeClip(const std::string& path) {
  std::vector<std::string> args = {
      "ffmpeg", "-y",    "-loglevel", "error", "-f",       "lavfi",   "-i", "testsrc=size=640x480:rate=30", "-t", "20",
      "-c:v",   "mpeg4", "-q:v",      "4",     "-pix_fmt", "yuv420p", path};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void BM_PlayerFrameWithVideo(benchmark::State& state) {
  const char* bin = std::getenv("ORBELLE_BIN_DIR");
  std::filesystem::current_path(bin ? bin : ORBELLE_BIN_DIR_DEFAULT);  // the program's data folders
  const TempDir temp("orbelle_frame_bench");
  const std::string clip = (temp.path() / "clip.avi").string();
  if (!MakeClip(clip)) {
    state.SkipWithError("ffmpeg could not make the clip");
    return;
  }
  CoInitialize(nullptr);
  {
    CMyD3DApplication app;
    if (FAILED(app.CreateApp(GetModuleHandleW(nullptr))) || !g_sceneManager) {
      state.SkipWithError("the program could not start (is DISPLAY set?)");
      return;
    }
    auto* scene = dynamic_cast<CQoSceneTitle*>(g_sceneManager->m_currentScene);
    if (!scene) {
      state.SkipWithError("no player scene");
      return;
    }
    // Argument 0 keeps the welcome picture (a still frame) for comparison.
    if (state.range(0) == 1) scene->OpenMedia(Win32FromNativePath(clip));
    if (!scene->m_media || scene->m_media->GetWidth() != 640) {
      state.SkipWithError("the media is not 640 x 480");
      return;
    }
    IDirect3DDevice9* device = app.Device();
    for (int i = 0; i < 30; ++i) {  // warm up: first uploads, glyph caches
      PumpMessages();
      app.Advance();
      if (app.DrawFrame() != S_FALSE) device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    const ULONGLONG drawnBefore = app.FramesDrawn();
    double total = 0, worst = 0;
    const double processStart = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
    const double threadStart = CpuMs(CLOCK_THREAD_CPUTIME_ID);
    for (auto _ : state) {
      PumpMessages();
      const double start = CpuMs(CLOCK_THREAD_CPUTIME_ID);
      app.Advance();
      // As the program's loop: a frame that would come out unchanged is neither drawn nor presented.
      if (app.DrawFrame() != S_FALSE) device->Present(nullptr, nullptr, nullptr, nullptr);
      const double ms = CpuMs(CLOCK_THREAD_CPUTIME_ID) - start;
      total += ms;
      worst = std::max(worst, ms);
      state.SetIterationTime(ms / 1e3);
    }
    // Every thread of the process over the same frames: decoding, conversion and the renderer's
    // rasteriser threads included.
    const double process = CpuMs(CLOCK_PROCESS_CPUTIME_ID) - processStart;
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["process_cpu_ms_per_frame"] = process / static_cast<double>(state.iterations());
    state.counters["loop_thread_cpu_ms_per_frame"] =
        (CpuMs(CLOCK_THREAD_CPUTIME_ID) - threadStart) / static_cast<double>(state.iterations());
    state.counters["cpu_ms_per_frame"] = mean;
    state.counters["worst_cpu_ms"] = worst;
    state.counters["budget_share_pct"] = 100.0 * mean / kFrameBudgetMs;
    state.counters["drawn_pct"] =
        100.0 * static_cast<double>(app.FramesDrawn() - drawnBefore) / static_cast<double>(state.iterations());
    DestroyWindow(app.MainWindow());
    PumpMessages();
  }
  CoUninitialize();
}

// Ten seconds of frames at 60 a second.
BENCHMARK(BM_PlayerFrameWithVideo)->Arg(1)->Arg(0)->UseManualTime()->Iterations(600)->Unit(benchmark::kMillisecond);

// The program's own loop (RunLoop: messages, Advance, DrawFrame, Present) for ten seconds on the
// welcome picture, timing each frame slot's end; the window is closed from the frame after the
// last. Argument 0 draws and presents every frame, as a screen that changes all the time; 1 runs
// as the program does, leaving out the frames of the still picture.
class PacedApp : public CMyD3DApplication {
 public:
  HRESULT DrawFrame() override {
    const HRESULT hr = CMyD3DApplication::DrawFrame();
    const auto now = std::chrono::steady_clock::now();
    if (ends.empty()) start = now;
    ends.push_back(now);
    if (now - start >= std::chrono::seconds(10) && !closing) {
      closing = true;
      PostMessageW(MainWindow(), WM_CLOSE, 0, 0);
    }
    return hr;
  }
  std::vector<std::chrono::steady_clock::time_point> ends;
  std::chrono::steady_clock::time_point start;
  bool closing = false;
};

void BM_FramePacing(benchmark::State& state) {
  const char* bin = std::getenv("ORBELLE_BIN_DIR");
  std::filesystem::current_path(bin ? bin : ORBELLE_BIN_DIR_DEFAULT);
  CoInitialize(nullptr);
  for (auto _ : state) {
    PacedApp app;
    app.m_skipUnchangedFrames = state.range(0) == 1;
    if (FAILED(app.CreateApp(GetModuleHandleW(nullptr)))) {
      state.SkipWithError("the program could not start (is DISPLAY set?)");
      break;
    }
    app.RunLoop();
    if (app.ends.size() < 3) {
      state.SkipWithError("too few frames");
      break;
    }
    std::vector<double> intervals;
    for (std::size_t i = 1; i < app.ends.size(); ++i)
      intervals.push_back(std::chrono::duration<double, std::milli>(app.ends[i] - app.ends[i - 1]).count());
    const double seconds = std::chrono::duration<double>(app.ends.back() - app.ends.front()).count();
    std::sort(intervals.begin(), intervals.end());
    state.counters["fps"] = static_cast<double>(intervals.size()) / seconds;
    state.counters["presented_per_s"] = static_cast<double>(app.FramesDrawn()) / seconds;
    state.counters["p95_interval_ms"] = intervals[intervals.size() * 95 / 100];
    state.counters["p99_interval_ms"] = intervals[intervals.size() * 99 / 100];
    state.counters["max_interval_ms"] = intervals.back();
  }
  CoUninitialize();
}
BENCHMARK(BM_FramePacing)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  PreferDrawingThreadRasteriser();  // as the program does before its first device
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
