#include "platform/worker/YuvToBgr.h"

#include <libyuv/convert_argb.h>
#include <libyuv/row.h>

#include <cmath>
#include <cstddef>

#if defined(__aarch64__) || defined(__arm__)
#error "libyuv's coefficient tables are laid out differently on ARM; only the x86 layout is filled in"
#endif

namespace worker {
namespace {

// The x86 table layout the conversion rows read (libyuv/row.h): Cb and Cr coefficients as byte
// pairs, then the luma scale and bias as 16-bit words, 16 copies of each.
static_assert(sizeof(libyuv::YuvConstants) == 160 && offsetof(libyuv::YuvConstants, kUVToG) == 32 &&
              offsetof(libyuv::YuvConstants, kUVToR) == 64 && offsetof(libyuv::YuvConstants, kYToRgb) == 96 &&
              offsetof(libyuv::YuvConstants, kYBiasToRgb) == 128);

// The vector rows load the table with aligned 32-byte reads.
struct alignas(32) Table {
  libyuv::YuvConstants constants;
};

Table MakeTable(const YuvMatrix& m) {
  Table t{};
  for (int k = 0; k < 32; k += 2) {
    t.constants.kUVToB[k] = m.ub;
    t.constants.kUVToG[k] = m.ug;
    t.constants.kUVToG[k + 1] = m.vg;
    t.constants.kUVToR[k + 1] = m.vr;
  }
  for (int k = 0; k < 16; ++k) {
    t.constants.kYToRgb[k] = m.yScale;
    t.constants.kYBiasToRgb[k] = m.yBias;
  }
  return t;
}

}  // namespace

bool MakeYuvMatrix(const GstVideoColorimetry& colorimetry, YuvMatrix* out) {
  gdouble kr = 0, kb = 0;
  if (!out || !gst_video_color_matrix_get_Kr_Kb(colorimetry.matrix, &kr, &kb)) return false;
  const double kg = 1.0 - kr - kb;
  const bool full = colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255;
  const double ys = full ? 1.0 : 255.0 / 219.0, cs = full ? 1.0 : 255.0 / 224.0;
  const auto byte = [](double value) { return static_cast<std::uint8_t>(std::lround(value * 64)); };
  // The luma sample is widened to 16 bits (times 257) before the scale takes the high half.
  out->yScale = static_cast<std::int16_t>(std::lround(ys * 64 * 65536 / 257));
  out->yBias = static_cast<std::int16_t>(std::lround(32 - 64 * ys * (full ? 0 : 16)));
  out->ub = byte(2 * (1 - kb) * cs);
  out->ug = byte(2 * (1 - kb) * kb / kg * cs);
  out->vg = byte(2 * (1 - kr) * kr / kg * cs);
  out->vr = byte(2 * (1 - kr) * cs);
  return true;
}

void YuvToBgr(const std::uint8_t* y, int yStride, const std::uint8_t* u, int uStride, const std::uint8_t* v,
              int vStride, std::uint8_t* bgr, int bgrStride, int width, int height, const YuvMatrix& m) {
  if (width <= 0 || height <= 0) return;
  const Table table = MakeTable(m);
  // libyuv's RGB24 is B, G, R in memory. The output is written from its last row upwards.
  std::uint8_t* lastRow = bgr + static_cast<std::ptrdiff_t>(bgrStride) * (height - 1);
  libyuv::I420ToRGB24Matrix(y, yStride, u, uStride, v, vStride, lastRow, -bgrStride, &table.constants, width, height);
}

}  // namespace worker
