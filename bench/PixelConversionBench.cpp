// Each pixel conversion the program makes with libyuv against the hand-written kernel it
// replaced, at 640 x 480, 1920 x 1080 and 3840 x 2160, in the same run (ratios printed at the
// end by MediaBench.cpp's main):
//  - 4:2:0 (BT.709 studio range) to bottom-up BGR rows, the worker's direct path;
//  - top-down BGRx to bottom-up BGR rows, the worker's narrowing after the video library;
//  - BGR rows to X8R8G8B8 texels, the renderer's copy into its texture.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <libyuv/convert_from_argb.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "media/MovieTexture.h"
#include "platform/worker/YuvToBgr.h"

namespace {

// The baseline: copies of the hand-written kernels the program used before libyuv took their
// place, kept only here for comparison, under their former names.
namespace baseline {

// platform/worker/YuvToBgr.cpp: Q14 luma and Q13 chroma coefficients, Q6 results.
struct YuvMatrix {
  std::int16_t yOffset;
  std::int16_t y;
  std::int16_t rv, gu, gv, bu;
};

std::int16_t Fixed(double value, int bits) {
  return static_cast<std::int16_t>(std::lround(value * (1 << bits)));
}

YuvMatrix MakeYuvMatrix(double kr, double kb, bool full) {
  const double kg = 1.0 - kr - kb;
  const double ys = full ? 1.0 : 255.0 / 219.0, cs = full ? 1.0 : 255.0 / 224.0;
  YuvMatrix m;
  m.yOffset = full ? 0 : 16;
  m.y = Fixed(ys, 14);
  m.rv = Fixed(2 * (1 - kr) * cs, 13);
  m.bu = Fixed(2 * (1 - kb) * cs, 13);
  m.gu = Fixed(-2 * (1 - kb) * kb / kg * cs, 13);
  m.gv = Fixed(-2 * (1 - kr) * kr / kg * cs, 13);
  return m;
}

inline int MulHrs(int a, int b) {
  return (a * b + 0x4000) >> 15;
}
inline int Sat16(int v) {
  return std::clamp(v, -32768, 32767);
}
inline std::uint8_t ToByte(int q6) {
  return static_cast<std::uint8_t>(std::clamp(Sat16(q6 + 32) >> 6, 0, 255));
}

void RowPortable(const std::uint8_t* ys, const std::uint8_t* us, const std::uint8_t* vs, std::uint8_t* d, int from,
                 int width, const YuvMatrix& m) {
  for (int x = from; x < width; ++x) {
    const int yt = MulHrs((ys[x] - m.yOffset) * 128, m.y);
    const int u = (us[x / 2] - 128) * 256, v = (vs[x / 2] - 128) * 256;
    d[3 * x] = ToByte(Sat16(yt + MulHrs(u, m.bu)));
    d[3 * x + 1] = ToByte(Sat16(Sat16(yt + MulHrs(u, m.gu)) + MulHrs(v, m.gv)));
    d[3 * x + 2] = ToByte(Sat16(yt + MulHrs(v, m.rv)));
  }
}

struct InterleaveMasks {
  alignas(16) std::int8_t bytes[3][3][16];
};
constexpr InterleaveMasks MakeMasks() {
  InterleaveMasks m{};
  for (int chunk = 0; chunk < 3; ++chunk)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 16; ++k) {
        const int at = 16 * chunk + k;
        m.bytes[chunk][c][k] = static_cast<std::int8_t>(at % 3 == c ? at / 3 : -1);
      }
  return m;
}
constexpr InterleaveMasks kMasks = MakeMasks();

__attribute__((target("avx2"))) int RowAvx2(const std::uint8_t* ys, const std::uint8_t* us, const std::uint8_t* vs,
                                            std::uint8_t* d, int width, const YuvMatrix& m) {
  const __m256i yOffset = _mm256_set1_epi16(m.yOffset), half = _mm256_set1_epi16(128), round = _mm256_set1_epi16(32);
  const __m256i cy = _mm256_set1_epi16(m.y), crv = _mm256_set1_epi16(m.rv), cgu = _mm256_set1_epi16(m.gu),
                cgv = _mm256_set1_epi16(m.gv), cbu = _mm256_set1_epi16(m.bu);
  __m128i masks[3][3];
  for (int chunk = 0; chunk < 3; ++chunk)
    for (int c = 0; c < 3; ++c)
      masks[chunk][c] = _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks.bytes[chunk][c]));
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i u8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(us + x / 2));
    const __m128i v8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(vs + x / 2));
    const __m256i y = _mm256_slli_epi16(
        _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ys + x))), yOffset), 7);
    const __m256i u = _mm256_slli_epi16(_mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(u8, u8)), half), 8);
    const __m256i v = _mm256_slli_epi16(_mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(v8, v8)), half), 8);
    const __m256i yt = _mm256_mulhrs_epi16(y, cy);
    const __m256i r = _mm256_adds_epi16(yt, _mm256_mulhrs_epi16(v, crv));
    const __m256i g =
        _mm256_adds_epi16(_mm256_adds_epi16(yt, _mm256_mulhrs_epi16(u, cgu)), _mm256_mulhrs_epi16(v, cgv));
    const __m256i b = _mm256_adds_epi16(yt, _mm256_mulhrs_epi16(u, cbu));
    const __m256i r6 = _mm256_srai_epi16(_mm256_adds_epi16(r, round), 6);
    const __m256i g6 = _mm256_srai_epi16(_mm256_adds_epi16(g, round), 6);
    const __m256i b6 = _mm256_srai_epi16(_mm256_adds_epi16(b, round), 6);
    const __m256i bg = _mm256_permute4x64_epi64(_mm256_packus_epi16(b6, g6), 0xD8);
    const __m256i rr = _mm256_permute4x64_epi64(_mm256_packus_epi16(r6, r6), 0x08);
    const __m128i parts[3] = {_mm256_castsi256_si128(bg), _mm256_extracti128_si256(bg, 1), _mm256_castsi256_si128(rr)};
    for (int chunk = 0; chunk < 3; ++chunk) {
      const __m128i out = _mm_or_si128(
          _mm_or_si128(_mm_shuffle_epi8(parts[0], masks[chunk][0]), _mm_shuffle_epi8(parts[1], masks[chunk][1])),
          _mm_shuffle_epi8(parts[2], masks[chunk][2]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x + 16 * chunk), out);
    }
  }
  return x;
}

void YuvRowToBgr(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* bgr, int width,
                 const YuvMatrix& m) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  const int done = avx2 ? RowAvx2(y, u, v, bgr, width, m) : 0;
  RowPortable(y, u, v, bgr, done, width, m);
}

// platform/worker/FrameConverter.cpp: BGRx rows narrowed to BGR.
__attribute__((target("ssse3"))) int PackRowSsse3(const std::uint8_t* s, std::uint8_t* d, int width) {
  const __m128i drop = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  int x = 0;
  for (; x + 18 <= width; x += 16) {
    for (int k = 0; k < 4; ++k) {
      const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x + 16 * k));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x + 12 * k), _mm_shuffle_epi8(in, drop));
    }
  }
  return x;
}

void PackRow(const std::uint8_t* s, std::uint8_t* d, int width) {
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  for (int x = ssse3 ? PackRowSsse3(s, d, width) : 0; x < width; ++x) std::memcpy(d + 3 * x, s + 4 * x, 3);
}

// media/MovieTexture.cpp: BGR rows widened to X8R8G8B8.
inline std::uint32_t Texel(const BYTE* p) {
  return 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
}

inline void ConvertGroup(const BYTE* s, std::uint32_t* d) {
  std::uint32_t w0, w1, w2;
  std::memcpy(&w0, s, 4);
  std::memcpy(&w1, s + 4, 4);
  std::memcpy(&w2, s + 8, 4);
  d[0] = 0xFF000000u | (w0 & 0xFFFFFFu);
  d[1] = 0xFF000000u | (w0 >> 24) | ((w1 & 0xFFFFu) << 8);
  d[2] = 0xFF000000u | (w1 >> 16) | ((w2 & 0xFFu) << 16);
  d[3] = 0xFF000000u | (w2 >> 8);
}

void ConvertRowWords(const BYTE* s, std::uint32_t* d, LONG from, LONG width) {
  LONG x = from;
  for (; x + 4 <= width; x += 4) ConvertGroup(s + 3 * x, d + x);
  for (; x < width; ++x) d[x] = Texel(s + 3 * x);
}

__attribute__((target("ssse3"))) LONG ConvertRowSsse3(const BYTE* s, std::uint32_t* d, LONG width) {
  const __m128i shuffle = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  LONG x = 0;
  for (; x + 18 <= width; x += 16) {
    const BYTE* p = s + 3 * x;
    for (int k = 0; k < 4; ++k) {
      __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12 * k));
      __m128i out = _mm_or_si128(_mm_shuffle_epi8(in, shuffle), alpha);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x + 4 * k), out);
    }
  }
  return x;
}

void ConvertToX8R8G8B8(const BYTE* src, LONG srcPitch, BYTE* dst, LONG dstPitch, LONG width, LONG height) {
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  for (LONG r = 0; r < height; ++r) {
    const BYTE* s = src + static_cast<std::ptrdiff_t>(r) * srcPitch;
    auto* d = reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(r) * dstPitch);
    const LONG done = ssse3 ? ConvertRowSsse3(s, d, width) : 0;
    ConvertRowWords(s, d, done, width);
  }
}

}  // namespace baseline

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));
  return bytes;
}

// A 4:2:0 picture and its bottom-up BGR output, rows padded to 4 bytes as the renderer takes them.
struct YuvPicture {
  int width, height, chromaWidth, pitch;
  std::vector<std::uint8_t> y, u, v, bgr;
  explicit YuvPicture(const benchmark::State& state)
      : width(static_cast<int>(state.range(0))),
        height(static_cast<int>(state.range(1))),
        chromaWidth((width + 1) / 2),
        pitch((3 * width + 3) & ~3),
        y(Pattern(static_cast<std::size_t>(width) * height)),
        u(Pattern(static_cast<std::size_t>(chromaWidth) * ((height + 1) / 2))),
        v(u.rbegin(), u.rend()),
        bgr(static_cast<std::size_t>(pitch) * height) {}
};

void BM_YuvToBgrBaseline(benchmark::State& state) {
  YuvPicture p(state);
  const baseline::YuvMatrix m = baseline::MakeYuvMatrix(0.2126, 0.0722, false);
  for (auto _ : state) {
    for (int row = 0; row < p.height; ++row) {
      const std::size_t c = static_cast<std::size_t>(row / 2) * p.chromaWidth;
      baseline::YuvRowToBgr(p.y.data() + static_cast<std::size_t>(row) * p.width, p.u.data() + c, p.v.data() + c,
                            p.bgr.data() + static_cast<std::size_t>(p.height - 1 - row) * p.pitch, p.width, m);
    }
    benchmark::DoNotOptimize(p.bgr.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(p.bgr.size()));
}

void BM_YuvToBgrLibyuv(benchmark::State& state) {
  YuvPicture p(state);
  GstVideoColorimetry colorimetry{GST_VIDEO_COLOR_RANGE_16_235, GST_VIDEO_COLOR_MATRIX_BT709, GST_VIDEO_TRANSFER_BT709,
                                  GST_VIDEO_COLOR_PRIMARIES_BT709};
  worker::YuvMatrix m;
  if (!worker::MakeYuvMatrix(colorimetry, &m)) state.SkipWithError("no matrix");
  for (auto _ : state) {
    worker::YuvToBgr(p.y.data(), p.width, p.u.data(), p.chromaWidth, p.v.data(), p.chromaWidth, p.bgr.data(), p.pitch,
                     p.width, p.height, m);
    benchmark::DoNotOptimize(p.bgr.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(p.bgr.size()));
}

// Top-down BGRx rows (the video library's output) and the bottom-up BGR rows made from them.
struct PackedPictures {
  int width, height, pitch;
  std::vector<std::uint8_t> bgrx, bgr;
  explicit PackedPictures(const benchmark::State& state)
      : width(static_cast<int>(state.range(0))),
        height(static_cast<int>(state.range(1))),
        pitch((3 * width + 3) & ~3),
        bgrx(Pattern(static_cast<std::size_t>(width) * 4 * height)),
        bgr(static_cast<std::size_t>(pitch) * height) {}
};

void BM_BgrxToBgrBaseline(benchmark::State& state) {
  PackedPictures p(state);
  for (auto _ : state) {
    for (int row = 0; row < p.height; ++row)
      baseline::PackRow(p.bgrx.data() + static_cast<std::size_t>(row) * 4 * p.width,
                        p.bgr.data() + static_cast<std::size_t>(p.height - 1 - row) * p.pitch, p.width);
    benchmark::DoNotOptimize(p.bgr.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(p.bgr.size()));
}

void BM_BgrxToBgrLibyuv(benchmark::State& state) {
  PackedPictures p(state);
  for (auto _ : state) {
    // As FrameConverter::ConvertInto narrows the rows.
    libyuv::ARGBToRGB24(p.bgrx.data(), 4 * p.width, p.bgr.data() + static_cast<std::size_t>(p.height - 1) * p.pitch,
                        -p.pitch, p.width, p.height);
    benchmark::DoNotOptimize(p.bgr.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(p.bgr.size()));
}

// BGR rows padded to 4 bytes (the renderer's input) and the texture's X8R8G8B8 rows.
struct TexturePictures {
  LONG width, height, pitch;
  std::vector<BYTE> bgr, xrgb;
  explicit TexturePictures(const benchmark::State& state)
      : width(static_cast<LONG>(state.range(0))),
        height(static_cast<LONG>(state.range(1))),
        pitch((3 * width + 3) & ~3),
        bgr(Pattern(static_cast<std::size_t>(pitch) * height)),
        xrgb(static_cast<std::size_t>(width) * 4 * height) {}
};

void BM_BgrToXrgbBaseline(benchmark::State& state) {
  TexturePictures p(state);
  for (auto _ : state) {
    baseline::ConvertToX8R8G8B8(p.bgr.data(), p.pitch, p.xrgb.data(), 4 * p.width, p.width, p.height);
    benchmark::DoNotOptimize(p.xrgb.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(p.xrgb.size()));
}

void BM_BgrToXrgbLibyuv(benchmark::State& state) {
  TexturePictures p(state);
  for (auto _ : state) {
    CMovieTexture::ConvertToX8R8G8B8(p.bgr.data(), p.pitch, p.xrgb.data(), 4 * p.width, p.width, p.height);
    benchmark::DoNotOptimize(p.xrgb.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(p.xrgb.size()));
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({640, 480})->Args({1920, 1080})->Args({3840, 2160});
}
BENCHMARK(BM_YuvToBgrBaseline)->Apply(Sizes);
BENCHMARK(BM_YuvToBgrLibyuv)->Apply(Sizes);
BENCHMARK(BM_BgrxToBgrBaseline)->Apply(Sizes);
BENCHMARK(BM_BgrxToBgrLibyuv)->Apply(Sizes);
BENCHMARK(BM_BgrToXrgbBaseline)->Apply(Sizes);
BENCHMARK(BM_BgrToXrgbLibyuv)->Apply(Sizes);

}  // namespace
