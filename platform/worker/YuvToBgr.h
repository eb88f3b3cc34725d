// Direct conversion of 8-bit YUV 4:2:0 pictures (the decoders' usual output) to packed 24-bit
// BGR, bottom row first: one pass through libyuv, no intermediate picture. Chroma is taken from
// the nearest sample. The coefficients are computed from the stream's own matrix and range, not
// taken from libyuv's built-in tables: Debian builds those with the blue term capped at 2.0,
// which reads saturated blues up to 13 steps dark in BT.709 studio range and 16 in BT.2020.
// Results are the exact conversion rounded, within one step for BT.601, BT.709 and BT.2020 (two
// for BT.2020 full range: libyuv's coefficients have six fraction bits).
// Internal to platform/worker; pure functions, any thread.
#pragma once

#include <gst/video/video.h>

#include <cstdint>

namespace worker {

// One YCbCr matrix and range in libyuv's fixed point: results carry six fraction bits.
struct YuvMatrix {
  std::int16_t yScale;  // luma: (sample x 257 x yScale) >> 16
  std::int16_t yBias;   // the luma offset's share, with the half step that rounds
  std::uint8_t ub;      // blue from Cb
  std::uint8_t ug, vg;  // subtracted from green, from Cb and Cr
  std::uint8_t vr;      // red from Cr
};

// The matrix for a colorimetry; false when it names no YCbCr matrix (RGB or unknown).
bool MakeYuvMatrix(const GstVideoColorimetry& colorimetry, YuvMatrix* out);

// Converts a width x height picture: row r of y with row r / 2 of u and v ((width + 1) / 2
// samples each) lands in bgr row height - 1 - r, rows bgrStride bytes apart. Writes 3 x width
// bytes of each row and nothing beyond them.
void YuvToBgr(const std::uint8_t* y, int yStride, const std::uint8_t* u, int uStride, const std::uint8_t* v,
              int vStride, std::uint8_t* bgr, int bgrStride, int width, int height, const YuvMatrix& m);

}  // namespace worker
