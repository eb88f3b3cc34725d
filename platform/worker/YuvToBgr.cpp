#include "platform/worker/YuvToBgr.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace worker {
namespace {

// The rounded high half of a 16 x 16-bit product, as the SIMD multiply computes it.
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

// Shuffle masks that spread sixteen bytes of one component over the 48 bytes of sixteen BGR
// pixels: mask [chunk][component] picks, for each byte of that 16-byte chunk, the pixel whose
// component it holds, or zero.
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

// Sixteen pixels a step: 16 luma and 8 + 8 chroma bytes in, 48 bytes out, nothing read or
// written past them. Returns the pixels done.
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
    // Packing works within 128-bit lanes; the permutes put each component's 16 bytes together.
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

std::int16_t Fixed(double value, int bits) {
  return static_cast<std::int16_t>(std::lround(value * (1 << bits)));
}

}  // namespace

bool MakeYuvMatrix(const GstVideoColorimetry& colorimetry, YuvMatrix* out) {
  gdouble kr = 0, kb = 0;
  if (!out || !gst_video_color_matrix_get_Kr_Kb(colorimetry.matrix, &kr, &kb)) return false;
  const double kg = 1.0 - kr - kb;
  const bool full = colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255;
  const double ys = full ? 1.0 : 255.0 / 219.0, cs = full ? 1.0 : 255.0 / 224.0;
  out->yOffset = full ? 0 : 16;
  out->y = Fixed(ys, 14);
  out->rv = Fixed(2 * (1 - kr) * cs, 13);
  out->bu = Fixed(2 * (1 - kb) * cs, 13);
  out->gu = Fixed(-2 * (1 - kb) * kb / kg * cs, 13);
  out->gv = Fixed(-2 * (1 - kr) * kr / kg * cs, 13);
  return true;
}

void YuvRowToBgr(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* bgr, int width,
                 const YuvMatrix& m, bool simd) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  const int done = simd && avx2 ? RowAvx2(y, u, v, bgr, width, m) : 0;
  RowPortable(y, u, v, bgr, done, width, m);
}

}  // namespace worker
