// (a) memcpy of a texture's worth of X8R8G8B8 output, the yardstick of the renderer's conversion
// (PixelConversionBench.cpp).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "media/MovieTexture.h"

namespace {

void BM_MemcpyOutput(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) * state.range(1) * 4;
  std::vector<BYTE> a(size, 1), b(size);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), size);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}

BENCHMARK(BM_MemcpyOutput)->Args({640, 480})->Args({1920, 1080})->Args({3840, 2160});

// Prints the results as usual and keeps each run's rate for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto fps = run.counters.find("fps");
      const auto bytes = run.counters.find("bytes_per_second");
      const auto items = run.counters.find("items_per_second");
      if (fps != run.counters.end()) rates[run.benchmark_name()] = fps->second;
      if (bytes != run.counters.end()) rates[run.benchmark_name()] = bytes->second;
      if (items != run.counters.end()) rates[run.benchmark_name()] = items->second;
    }
  }
  std::map<std::string, double> rates;
};

void PrintRatio(const RatioReporter& reporter, const std::string& what, const std::string& of, const std::string& to) {
  const auto a = reporter.rates.find(of), b = reporter.rates.find(to);
  if (a == reporter.rates.end() || b == reporter.rates.end() || b->second <= 0) return;
  std::printf("%-44s %6.2fx\n", what.c_str(), a->second / b->second);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nRatios (same run):\n");
  for (const char* size : {"640/480", "1920/1080", "3840/2160"}) {
    // libyuv's rate over the replaced kernel's (PixelConversionBench.cpp): above 1 is faster.
    for (const char* conversion : {"YuvToBgr", "BgrxToBgr", "BgrToXrgb"})
      PrintRatio(reporter, std::string(conversion) + " libyuv / baseline, " + size,
                 std::string("BM_") + conversion + "Libyuv/" + size,
                 std::string("BM_") + conversion + "Baseline/" + size);
    PrintRatio(reporter, std::string("BgrToXrgb libyuv / memcpy, ") + size, std::string("BM_BgrToXrgbLibyuv/") + size,
               std::string("BM_MemcpyOutput/") + size);
  }
  PrintRatio(reporter, "CMovieSource fps / GStreamer to BGR fps, 1080p",
             "BM_PlaybackMovieSource/iterations:3/real_time", "BM_PlaybackGstreamer/iterations:3/real_time");
  // Rates: a ratio below 1 is the share of the baseline's speed kept.
  PrintRatio(reporter, "folder list rebuild / folder search, 100,000", "BM_MediaFileListRebuild", "BM_FolderSearch");
  PrintRatio(reporter, "file-manager sort / code-unit sort, 100,000", "BM_SortFileManagerOrder",
             "BM_SortCodeUnitOrder");
  benchmark::Shutdown();
  return 0;
}
