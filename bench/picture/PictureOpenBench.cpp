// Opening a 4000 x 3000 jpeg through the still-image source (decoded in the isolated decoder
// process) against the in-process SDL2_image decode the source used before, in the same run.
// The picture is made with ffmpeg into a temporary folder at start and removed at exit.
#include <SDL.h>
#include <SDL_image.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/dshow/SourceFilter.h"
#include "platform/picture/PictureDecode.h"
#include "tests/support/TempDir.h"

namespace {

std::string g_picture;

// CPU seconds of this process and of its reaped children (the decoder processes).
double CpuWithChildren() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage usage{};
    getrusage(who, &usage);
    total += usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  }
  return total;
}

// Counts CPU milliseconds an iteration, the decoder processes' included: a measure the other
// work on a shared machine disturbs far less than the wall clock.
struct CpuCounter {
  explicit CpuCounter(benchmark::State& s) : state(s), start(CpuWithChildren()) {}
  ~CpuCounter() {
    if (state.iterations() > 0)
      state.counters["cpu_ms"] = 1000.0 * (CpuWithChildren() - start) / static_cast<double>(state.iterations());
  }
  benchmark::State& state;
  double start;
};

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The previous path: read the file, decode with SDL2_image, lay out as packed BGR rows.
void BM_OpenSdlImageInProcess(benchmark::State& state) {
  CpuCounter cpu(state);
  for (auto _ : state) {
    const std::vector<std::uint8_t> file = ReadFile(g_picture);
    SDL_Surface* loaded = IMG_Load_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1);
    SDL_Surface* bgr = loaded ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_BGR24, 0) : nullptr;
    if (!bgr) {
      state.SkipWithError("SDL2_image could not decode the picture");
      SDL_FreeSurface(loaded);
      break;
    }
    const int stride = picture::BgrStride(bgr->w);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(stride) * bgr->h);
    for (int y = 0; y < bgr->h; ++y)
      std::memcpy(out.data() + static_cast<std::size_t>(y) * stride,
                  static_cast<const std::uint8_t*>(bgr->pixels) + static_cast<std::size_t>(y) * bgr->pitch,
                  static_cast<std::size_t>(3) * bgr->w);
    benchmark::DoNotOptimize(out.data());
    SDL_FreeSurface(bgr);
    SDL_FreeSurface(loaded);
  }
}

// The same decode with gdk-pixbuf in this process: the isolation's own cost is the difference.
void BM_OpenPixbufInProcess(benchmark::State& state) {
  CpuCounter cpu(state);
  for (auto _ : state) {
    const std::vector<std::uint8_t> file = ReadFile(g_picture);
    picture::DecodedPicture out;
    if (!picture::DecodePictureBytes(file.data(), file.size(), picture::PictureLimits{}, &out, nullptr)) {
      state.SkipWithError("gdk-pixbuf could not decode the picture");
      break;
    }
    benchmark::DoNotOptimize(out.bgr.data());
  }
}

// Today's path: the still-image source, whose media worker has decoded the whole picture when
// the source is made (a worker started for each open, as without a spare).
void BM_OpenStillImageSourceIsolated(benchmark::State& state) {
  CpuCounter cpu(state);
  for (auto _ : state) {
    dshow::SourceFilter* filter = nullptr;
    if (FAILED(dshow::SourceFilter::Create(g_picture, &filter))) {
      state.SkipWithError("the still-image source could not open the picture");
      break;
    }
    if (!filter->Worker().Prerolled()) {
      state.SkipWithError("the media worker did not decode the picture");
      filter->Release();
      break;
    }
    filter->Release();
  }
}

BENCHMARK(BM_OpenSdlImageInProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_OpenPixbufInProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_OpenStillImageSourceIsolated)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

class TimeReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      times[run.run_name.function_name] = run.GetAdjustedRealTime();
      const auto cpuMs = run.counters.find("cpu_ms");
      if (cpuMs != run.counters.end()) cpu[run.run_name.function_name] = cpuMs->second;
    }
  }
  std::map<std::string, double> times;
  std::map<std::string, double> cpu;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const TempDir folder("orbelle-picture-bench");
  g_picture = (folder.path() / "photo.jpg").string();
  const std::string make =
      "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=4000x3000 -frames:v 1 -q:v 2 '" + g_picture + "'";
  if (std::system(make.c_str()) != 0) {
    std::fprintf(stderr, "bench_picture: ffmpeg could not make the 4000 x 3000 picture\n");
    return 1;
  }
  TimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nRatios (same run; wall clock, then CPU with the decoder processes):\n");
  for (const auto& [what, of] :
       {std::pair{"isolated still-image source / SDL2_image in-process", "BM_OpenStillImageSourceIsolated"},
        std::pair{"gdk-pixbuf in-process / SDL2_image in-process", "BM_OpenPixbufInProcess"}}) {
    const char* base = "BM_OpenSdlImageInProcess";
    if (!reporter.times.count(of) || !reporter.times.count(base) || !reporter.cpu.count(of) ||
        !reporter.cpu.count(base))
      continue;
    std::printf("%-52s %6.2fx %6.2fx\n", what, reporter.times[of] / reporter.times[base],
                reporter.cpu[of] / reporter.cpu[base]);
  }
  benchmark::Shutdown();
  return 0;
}
