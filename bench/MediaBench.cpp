// (a) The renderer's BGR24 -> X8R8G8B8 conversion against memcpy of the same output.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "media/MovieTexture.h"

namespace {

void Convert(benchmark::State& state, bool simd) {
  const LONG w = static_cast<LONG>(state.range(0)), h = static_cast<LONG>(state.range(1));
  const LONG pitch = (3 * w + 3) & ~3;
  std::vector<BYTE> src(static_cast<std::size_t>(pitch) * h, 0x5A);
  std::vector<BYTE> dst(static_cast<std::size_t>(w) * 4 * h);
  for (auto _ : state) {
    CMovieTexture::ConvertToX8R8G8B8(src.data(), pitch, dst.data(), w * 4, w, h, simd);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(dst.size()));
}

void BM_ConvertSimd(benchmark::State& state) {
  Convert(state, true);
}
void BM_ConvertWords(benchmark::State& state) {
  Convert(state, false);
}

void BM_MemcpyOutput(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) * state.range(1) * 4;
  std::vector<BYTE> a(size, 1), b(size);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), size);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}

BENCHMARK(BM_ConvertSimd)->Args({1920, 1080})->Args({3840, 2160});
BENCHMARK(BM_ConvertWords)->Args({1920, 1080})->Args({3840, 2160});
BENCHMARK(BM_MemcpyOutput)->Args({1920, 1080})->Args({3840, 2160});

}  // namespace

BENCHMARK_MAIN();
