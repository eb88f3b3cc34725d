// Direct conversion of 8-bit YUV 4:2:0 rows (the decoders' usual output) to packed 24-bit BGR:
// one pass, no intermediate picture. Chroma is taken from the nearest sample, as the video
// library's own fast paths do. Results are the exact conversion rounded, within one step.
// Internal to platform/worker; pure functions, any thread.
#pragma once

#include <gst/video/video.h>

#include <cstdint>

namespace worker {

// Fixed-point coefficients of one YCbCr matrix and range: the luma scale in Q14, the chroma
// terms in Q13, all results in Q6 before rounding.
struct YuvMatrix {
  std::int16_t yOffset;  // 16 for studio range, 0 for full range
  std::int16_t y;        // luma scale
  std::int16_t rv, gu, gv, bu;
};

// The matrix for a colorimetry; false when it names no YCbCr matrix (RGB or unknown).
bool MakeYuvMatrix(const GstVideoColorimetry& colorimetry, YuvMatrix* out);

// One row of width pixels: y holds width samples, u and v (width + 1) / 2; bgr receives
// 3 x width bytes and nothing beyond them. simd = false forces the portable loop (for tests).
void YuvRowToBgr(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* bgr, int width,
                 const YuvMatrix& m, bool simd = true);

}  // namespace worker
