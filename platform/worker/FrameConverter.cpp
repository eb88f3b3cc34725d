#include "platform/worker/FrameConverter.h"

#include <libyuv/convert_from_argb.h>
#include <libyuv/cpu_id.h>
#include <libyuv/planar_functions.h>

#include <algorithm>
#include <cmath>

#include "platform/worker/YuvToBgr.h"

namespace worker {
namespace {

// Where a picture of display aspect inDar lands in an output of display aspect outDar: the
// whole output when the two agree to within a percent, else centred with borders.
struct Placement {
  int x, y, width, height;
};
Placement Place(double inDar, double outDar, int width, int height) {
  if (!(inDar > 0) || !(outDar > 0) || std::fabs(inDar / outDar - 1.0) < 0.01) return {0, 0, width, height};
  if (inDar > outDar) {
    const int h = std::max(1, static_cast<int>(std::lround(height * outDar / inDar)));
    return {0, (height - h) / 2, width, h};
  }
  const int w = std::max(1, static_cast<int>(std::lround(width * inDar / outDar)));
  return {(width - w) / 2, 0, w, height};
}

double DisplayAspect(const GstVideoInfo& info, int parN, int parD) {
  if (parN <= 0 || parD <= 0) parN = parD = 1;
  return static_cast<double>(GST_VIDEO_INFO_WIDTH(&info)) * parN /
         (static_cast<double>(GST_VIDEO_INFO_HEIGHT(&info)) * parD);
}

}  // namespace

void PrepareFrameConversion() {
  libyuv::InitCpuFlags();
}

FrameConverter::~FrameConverter() {
  Reset();
}

void FrameConverter::Reset() {
  if (converter_) gst_video_converter_free(converter_);
  converter_ = nullptr;
  if (stage_) gst_buffer_unref(stage_);
  stage_ = nullptr;
  hasOutput_ = false;
}

void FrameConverter::SetOutput(GstVideoFormat format, int width, int height, int parN, int parD) {
  Reset();
  gst_video_info_init(&out_);
  if (width <= 0 || height <= 0 || !gst_video_info_set_format(&out_, format, width, height)) return;
  parN_ = parN > 0 && parD > 0 ? parN : 1;
  parD_ = parN > 0 && parD > 0 ? parD : 1;
  hasOutput_ = true;
}

gsize FrameConverter::OutputBytes() const {
  return hasOutput_ ? GST_VIDEO_INFO_SIZE(&out_) : 0;
}

bool FrameConverter::Prepare(const GstVideoInfo& in) {
  if (converter_ && gst_video_info_is_equal(&in, &in_)) return true;
  if (converter_) gst_video_converter_free(converter_);
  converter_ = nullptr;
  // Only formats the converter can read line by line.
  if (!in.finfo || !in.finfo->unpack_func || GST_VIDEO_INFO_WIDTH(&in) <= 0 || GST_VIDEO_INFO_HEIGHT(&in) <= 0)
    return false;
  const int width = GST_VIDEO_INFO_WIDTH(&out_), height = GST_VIDEO_INFO_HEIGHT(&out_);
  const Placement at = Place(DisplayAspect(in, GST_VIDEO_INFO_PAR_N(&in), GST_VIDEO_INFO_PAR_D(&in)),
                             DisplayAspect(out_, parN_, parD_), width, height);
  GstStructure* config = gst_structure_new(
      "GstVideoConverter", GST_VIDEO_CONVERTER_OPT_DITHER_METHOD, GST_TYPE_VIDEO_DITHER_METHOD, GST_VIDEO_DITHER_NONE,
      // The conversion is the largest cost after decoding: every core takes a share of the rows.
      GST_VIDEO_CONVERTER_OPT_THREADS, G_TYPE_UINT, static_cast<guint>(g_get_num_processors()),
      GST_VIDEO_CONVERTER_OPT_DEST_X, G_TYPE_INT, at.x, GST_VIDEO_CONVERTER_OPT_DEST_Y, G_TYPE_INT, at.y,
      GST_VIDEO_CONVERTER_OPT_DEST_WIDTH, G_TYPE_INT, at.width, GST_VIDEO_CONVERTER_OPT_DEST_HEIGHT, G_TYPE_INT,
      at.height, GST_VIDEO_CONVERTER_OPT_FILL_BORDER, G_TYPE_BOOLEAN, TRUE, GST_VIDEO_CONVERTER_OPT_BORDER_ARGB,
      G_TYPE_UINT, 0xFF000000u, nullptr);
  // The video library writes 32-bit pixels fast (with direct paths from the common YUV layouts)
  // but packs 24-bit ones a byte at a time, and its row copies do not take rows running upwards:
  // it makes top-down BGRx, and Convert turns the rows over into the output (narrowing them to
  // BGR where that is the output).
  gst_video_info_set_format(&target_, GST_VIDEO_FORMAT_BGRx, width, height);
  if (!stage_) stage_ = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&target_), nullptr);
  if (!stage_) {
    gst_structure_free(config);
    return false;
  }
  // The converter wants the rate, the interlacing and the views of both sides alike.
  GST_VIDEO_INFO_FPS_N(&target_) = GST_VIDEO_INFO_FPS_N(&in);
  GST_VIDEO_INFO_FPS_D(&target_) = GST_VIDEO_INFO_FPS_D(&in);
  GST_VIDEO_INFO_INTERLACE_MODE(&target_) = GST_VIDEO_INFO_INTERLACE_MODE(&in);
  GST_VIDEO_INFO_VIEWS(&target_) = GST_VIDEO_INFO_VIEWS(&in);
  converter_ = gst_video_converter_new(const_cast<GstVideoInfo*>(&in), &target_, config);
  if (converter_) in_ = in;
  return converter_ != nullptr;
}

bool FrameConverter::CanConvertDirectly(const GstVideoInfo& in, YuvMatrix* matrix) const {
  const GstVideoFormat format = GST_VIDEO_INFO_FORMAT(&in);
  const int width = GST_VIDEO_INFO_WIDTH(&out_), height = GST_VIDEO_INFO_HEIGHT(&out_);
  if (GST_VIDEO_INFO_FORMAT(&out_) != GST_VIDEO_FORMAT_BGR ||
      (format != GST_VIDEO_FORMAT_I420 && format != GST_VIDEO_FORMAT_YV12) || GST_VIDEO_INFO_WIDTH(&in) != width ||
      GST_VIDEO_INFO_HEIGHT(&in) != height || GST_VIDEO_INFO_IS_INTERLACED(&in) || GST_VIDEO_INFO_VIEWS(&in) > 1)
    return false;
  const Placement at = Place(DisplayAspect(in, GST_VIDEO_INFO_PAR_N(&in), GST_VIDEO_INFO_PAR_D(&in)),
                             DisplayAspect(out_, parN_, parD_), width, height);
  if (at.x != 0 || at.y != 0 || at.width != width || at.height != height) return false;
  return MakeYuvMatrix(in.colorimetry, matrix);
}

bool FrameConverter::ConvertDirectly(const GstVideoInfo& in, const YuvMatrix& matrix, GstBuffer* input, guint8* dest) {
  GstVideoFrame source;
  if (!gst_video_frame_map(&source, &in, input, GST_MAP_READ)) return false;
  // I420 and YV12 differ only in the order of their chroma planes; the frame's components say
  // where U and V are.
  const int width = GST_VIDEO_INFO_WIDTH(&out_), height = GST_VIDEO_INFO_HEIGHT(&out_);
  const auto* ys = static_cast<const guint8*>(GST_VIDEO_FRAME_COMP_DATA(&source, 0));
  const auto* us = static_cast<const guint8*>(GST_VIDEO_FRAME_COMP_DATA(&source, 1));
  const auto* vs = static_cast<const guint8*>(GST_VIDEO_FRAME_COMP_DATA(&source, 2));
  YuvToBgr(ys, GST_VIDEO_FRAME_COMP_STRIDE(&source, 0), us, GST_VIDEO_FRAME_COMP_STRIDE(&source, 1), vs,
           GST_VIDEO_FRAME_COMP_STRIDE(&source, 2), dest, GST_VIDEO_INFO_PLANE_STRIDE(&out_, 0), width, height, matrix);
  gst_video_frame_unmap(&source);
  return true;
}

bool FrameConverter::ConvertInto(GstSample* sample, guint8* dest, gsize size) {
  if (!hasOutput_ || !sample || !dest || size < OutputBytes()) return false;
  GstCaps* caps = gst_sample_get_caps(sample);
  GstBuffer* input = gst_sample_get_buffer(sample);
  GstVideoInfo in;
  if (!caps || !input || !gst_video_info_from_caps(&in, caps)) return false;
  // The decoders' usual 4:2:0 pictures at the settled size go straight to the output rows.
  YuvMatrix matrix;
  if (CanConvertDirectly(in, &matrix)) return ConvertDirectly(in, matrix, input, dest);
  if (!Prepare(in)) return false;

  GstVideoFrame source, target;
  if (!gst_video_frame_map(&source, &in, input, GST_MAP_READ)) return false;
  if (!gst_video_frame_map(&target, &target_, stage_, GST_MAP_WRITE)) {
    gst_video_frame_unmap(&source);
    return false;
  }
  gst_video_converter_frame(converter_, &source, &target);
  gst_video_frame_unmap(&source);
  // Rows bottom first: the output is written from its last row upwards (a negative stride), so
  // that the source is read in its own order, which the processor prefetches best.
  const int width = GST_VIDEO_FRAME_WIDTH(&target), height = GST_VIDEO_FRAME_HEIGHT(&target);
  const auto* rows = static_cast<const guint8*>(GST_VIDEO_FRAME_PLANE_DATA(&target, 0));
  const int inStride = GST_VIDEO_FRAME_PLANE_STRIDE(&target, 0);
  const int outStride = GST_VIDEO_INFO_PLANE_STRIDE(&out_, 0);
  guint8* lastRow = dest + static_cast<gsize>(outStride) * static_cast<gsize>(height - 1);
  // libyuv's ARGB is B, G, R, x in memory and its RGB24 B, G, R.
  if (GST_VIDEO_INFO_FORMAT(&out_) == GST_VIDEO_FORMAT_BGR)
    libyuv::ARGBToRGB24(rows, inStride, lastRow, -outStride, width, height);
  else
    libyuv::ARGBCopy(rows, inStride, lastRow, -outStride, width, height);
  gst_video_frame_unmap(&target);
  return true;
}

}  // namespace worker
