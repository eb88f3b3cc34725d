// The worker's picture conversion on its own: any raw layout in, bottom-up BGR or BGRx rows out,
// every pixel checked, at widths around the sixteen-pixel steps.
#include "platform/worker/FrameConverter.h"

#include <gtest/gtest.h>
#include <libyuv/cpu_id.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "platform/worker/YuvToBgr.h"

namespace {

using worker::FrameConverter;

bool StartGstreamer() {
  static const bool started = gst_init_check(nullptr, nullptr, nullptr);
  return started;
}

struct SampleUnref {
  void operator()(GstSample* sample) const {
    if (sample) gst_sample_unref(sample);
  }
};
using SampleRef = std::unique_ptr<GstSample, SampleUnref>;
struct CapsUnref {
  void operator()(GstCaps* caps) const {
    if (caps) gst_caps_unref(caps);
  }
};
using CapsRef = std::unique_ptr<GstCaps, CapsUnref>;

// The converted picture in a buffer of its own size, with a guard byte after it that the
// conversion must leave alone; empty when the conversion fails.
std::vector<guint8> Converted(FrameConverter& converter, GstSample* sample) {
  const gsize size = converter.OutputBytes();
  std::vector<guint8> out(size + 1, 0xA5);
  if (!converter.ConvertInto(sample, out.data(), size) || out[size] != 0xA5) return {};
  out.pop_back();
  return out;
}

struct Rgb {
  guint8 r, g, b;
};

Rgb PatternPixel(int x, int y) {
  return {static_cast<guint8>((x * 7) & 255), static_cast<guint8>((y * 13 + 5) & 255),
          static_cast<guint8>((x + y * 3) & 255)};
}

// A sample of the pattern picture in a packed RGB layout, rows top first.
GstSample* PatternSample(GstVideoFormat format, int width, int height) {
  GstVideoInfo info;
  gst_video_info_set_format(&info, format, width, height);
  GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
  GstMapInfo map;
  gst_buffer_map(buffer, &map, GST_MAP_WRITE);
  const int bytes = GST_VIDEO_INFO_COMP_PSTRIDE(&info, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      guint8* p = map.data + y * GST_VIDEO_INFO_PLANE_STRIDE(&info, 0) + x * bytes;
      const Rgb c = PatternPixel(x, y);
      p[GST_VIDEO_INFO_COMP_OFFSET(&info, 0)] = c.r;
      p[GST_VIDEO_INFO_COMP_OFFSET(&info, 1)] = c.g;
      p[GST_VIDEO_INFO_COMP_OFFSET(&info, 2)] = c.b;
    }
  }
  gst_buffer_unmap(buffer, &map);
  GST_BUFFER_PTS(buffer) = 40 * GST_MSECOND;
  GstCaps* caps = gst_video_info_to_caps(&info);
  GstSample* sample = gst_sample_new(buffer, caps, nullptr, nullptr);
  gst_caps_unref(caps);
  gst_buffer_unref(buffer);
  return sample;
}

// Pixels of a BGR output (rows of (3 x width + 3) & ~3 bytes, bottom first) off the pattern.
// Rows are written upwards, so a row that spilt into the next would spoil one already written.
int PixelsOffPattern(const std::vector<guint8>& out, int width, int height, int bytesPerPixel = 3) {
  const int pitch = (bytesPerPixel * width + 3) & ~3;
  int wrong = out.size() < static_cast<gsize>(pitch) * height ? width * height : 0;
  for (int row = 0; row < height && !wrong; ++row) {
    const int y = height - 1 - row;
    for (int x = 0; x < width; ++x) {
      const guint8* p = out.data() + row * pitch + bytesPerPixel * x;
      const Rgb c = PatternPixel(x, y);
      wrong += p[0] != c.b || p[1] != c.g || p[2] != c.r;
    }
  }
  return wrong;
}

TEST(FrameConverterTest, PacksEveryPixelBottomRowFirstAtWidthsAroundTheSimdSteps) {
  ASSERT_TRUE(StartGstreamer());
  struct Size {
    int width, height;
  };
  const Size sizes[] = {{1, 5},  {2, 5},  {3, 5},  {15, 5}, {16, 5},  {17, 5},   {18, 5},
                        {19, 5}, {33, 5}, {34, 5}, {35, 5}, {322, 5}, {640, 480}};
  for (GstVideoFormat output : {GST_VIDEO_FORMAT_BGR, GST_VIDEO_FORMAT_BGRx}) {
    for (GstVideoFormat format :
         {GST_VIDEO_FORMAT_BGRx, GST_VIDEO_FORMAT_xRGB, GST_VIDEO_FORMAT_RGB, GST_VIDEO_FORMAT_BGR}) {
      for (const Size& size : sizes) {
        SCOPED_TRACE(std::string(gst_video_format_to_string(format)) + " to " + gst_video_format_to_string(output) +
                     " " + std::to_string(size.width) + "x" + std::to_string(size.height));
        FrameConverter converter;
        converter.SetOutput(output, size.width, size.height, 1, 1);
        SampleRef sample(PatternSample(format, size.width, size.height));
        const std::vector<guint8> out = Converted(converter, sample.get());
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(0, PixelsOffPattern(out, size.width, size.height, output == GST_VIDEO_FORMAT_BGR ? 3 : 4));
      }
    }
  }
}

TEST(FrameConverterTest, RefusesWhatItCannotRead) {
  ASSERT_TRUE(StartGstreamer());
  FrameConverter converter;
  SampleRef sample(PatternSample(GST_VIDEO_FORMAT_BGR, 16, 4));
  std::vector<guint8> out(16 * 3 * 4);
  // Nothing settled yet.
  EXPECT_FALSE(converter.ConvertInto(sample.get(), out.data(), out.size()));
  converter.SetOutput(GST_VIDEO_FORMAT_BGR, 16, 4, 1, 1);
  ASSERT_EQ(out.size(), converter.OutputBytes());
  ASSERT_TRUE(converter.ConvertInto(sample.get(), out.data(), out.size()));
  // A destination smaller than a picture is never written.
  EXPECT_FALSE(converter.ConvertInto(sample.get(), out.data(), out.size() - 1));
  // A buffer shorter than its caps say (a damaged file's picture) is never read.
  GstBuffer* shortBuffer = gst_buffer_new_allocate(nullptr, 100, nullptr);
  GstCaps* caps = gst_sample_get_caps(sample.get());
  SampleRef truncated(gst_sample_new(shortBuffer, caps, nullptr, nullptr));
  gst_buffer_unref(shortBuffer);
  EXPECT_FALSE(converter.ConvertInto(truncated.get(), out.data(), out.size()));
  // Caps that say nothing about a picture.
  CapsRef audio(gst_caps_from_string("audio/x-raw, format=S16LE, rate=44100, channels=2"));
  GstBuffer* bytes = gst_buffer_new_allocate(nullptr, 1000, nullptr);
  SampleRef notVideo(gst_sample_new(bytes, audio.get(), nullptr, nullptr));
  gst_buffer_unref(bytes);
  EXPECT_FALSE(converter.ConvertInto(notVideo.get(), out.data(), out.size()));
  EXPECT_FALSE(converter.ConvertInto(nullptr, out.data(), out.size()));
}

// The exact conversion of one pixel, in floating point, rounded: blue, green, red.
std::array<int, 3> ExactBgr(int y, int u, int v, GstVideoColorMatrix matrix, GstVideoColorRange range) {
  double kr = 0, kb = 0;
  gst_video_color_matrix_get_Kr_Kb(matrix, &kr, &kb);
  const double kg = 1 - kr - kb;
  const bool full = range == GST_VIDEO_COLOR_RANGE_0_255;
  const double l = (full ? 1 : 255.0 / 219) * (y - (full ? 0 : 16)), cs = full ? 1 : 255.0 / 224;
  const double cu = cs * (u - 128), cv = cs * (v - 128);
  const double bgr[3] = {l + 2 * (1 - kb) * cu, l - 2 * (1 - kb) * kb / kg * cu - 2 * (1 - kr) * kr / kg * cv,
                         l + 2 * (1 - kr) * cv};
  std::array<int, 3> out;
  for (int k = 0; k < 3; ++k) out[k] = static_cast<int>(std::clamp(std::lround(bgr[k]), 0L, 255L));
  return out;
}

// The 4:2:0 path against the exact conversion, for each matrix and range, on three rows (the
// third takes the second chroma row, and rows land bottom first): libyuv's vector rows and its
// portable ones give the same bytes, within one step of the exact result. BT.2020 full range
// is allowed two: libyuv's coefficients have six fraction bits, and green's two chroma terms
// round by 0.47 and 0.43 of a 64th there.
TEST(FrameConverterTest, YuvRowsAreTheExactConversionRounded) {
  struct Case {
    GstVideoColorMatrix matrix;
    GstVideoColorRange range;
    int tolerance;
  };
  const Case cases[] = {{GST_VIDEO_COLOR_MATRIX_BT601, GST_VIDEO_COLOR_RANGE_16_235, 1},
                        {GST_VIDEO_COLOR_MATRIX_BT709, GST_VIDEO_COLOR_RANGE_16_235, 1},
                        {GST_VIDEO_COLOR_MATRIX_BT2020, GST_VIDEO_COLOR_RANGE_16_235, 1},
                        {GST_VIDEO_COLOR_MATRIX_BT601, GST_VIDEO_COLOR_RANGE_0_255, 1},
                        {GST_VIDEO_COLOR_MATRIX_BT709, GST_VIDEO_COLOR_RANGE_0_255, 1},
                        {GST_VIDEO_COLOR_MATRIX_BT2020, GST_VIDEO_COLOR_RANGE_0_255, 2}};
  // Every path the processor has, SSSE3 at most, and none.
  const int cpuMasks[] = {
      -1,
      libyuv::kCpuInitialized | libyuv::kCpuHasX86 | libyuv::kCpuHasSSE2 | libyuv::kCpuHasSSSE3 | libyuv::kCpuHasSSE41,
      libyuv::kCpuInitialized};
  constexpr int kRows = 3;
  std::mt19937 random(7);
  for (const Case& c : cases) {
    GstVideoColorimetry colorimetry{c.range, c.matrix, GST_VIDEO_TRANSFER_BT709, GST_VIDEO_COLOR_PRIMARIES_BT709};
    worker::YuvMatrix m;
    ASSERT_TRUE(worker::MakeYuvMatrix(colorimetry, &m));
    for (int width : {1, 2, 15, 16, 17, 31, 32, 33, 200}) {
      SCOPED_TRACE("matrix " + std::to_string(c.matrix) + " range " + std::to_string(c.range) + " width " +
                   std::to_string(width));
      // Extremes first, so that every clamp is reached, then random samples.
      const int chromaWidth = (width + 1) / 2;
      std::vector<guint8> y(width * kRows), u(chromaWidth * 2), v(chromaWidth * 2);
      for (std::size_t x = 0; x < y.size(); ++x) y[x] = x < 4 ? (x & 1 ? 255 : 0) : static_cast<guint8>(random());
      for (std::size_t x = 0; x < u.size(); ++x) {
        u[x] = x < 2 ? (x & 1 ? 255 : 0) : static_cast<guint8>(random());
        v[x] = x < 2 ? (x & 1 ? 0 : 255) : static_cast<guint8>(random());
      }
      // Each output row has a guard byte after its pixels, and the picture one more.
      const int stride = 3 * width + 1;
      std::vector<guint8> first;
      for (int mask : cpuMasks) {
        libyuv::MaskCpuFlags(mask);
        std::vector<guint8> out(stride * kRows + 1, 0xAB);
        worker::YuvToBgr(y.data(), width, u.data(), chromaWidth, v.data(), chromaWidth, out.data(), stride, width,
                         kRows, m);
        for (int row = 0; row < kRows; ++row) EXPECT_EQ(0xAB, out[row * stride + 3 * width]);
        EXPECT_EQ(0xAB, out.back());
        if (first.empty()) first = out;
        EXPECT_EQ(first, out) << "cpu mask " << mask;
      }
      libyuv::MaskCpuFlags(-1);
      int off = 0;
      for (int row = 0; row < kRows; ++row)
        for (int x = 0; x < width; ++x) {
          const std::array<int, 3> exact = ExactBgr(y[row * width + x], u[row / 2 * chromaWidth + x / 2],
                                                    v[row / 2 * chromaWidth + x / 2], c.matrix, c.range);
          const guint8* p = first.data() + (kRows - 1 - row) * stride + 3 * x;
          for (int k = 0; k < 3; ++k) off += std::abs(p[k] - exact[k]) > c.tolerance;
        }
      EXPECT_EQ(0, off);
    }
  }
}

// A decoder's I420 or YV12 picture through the converter: bottom row first, the matrix its caps
// name (BT.601 for standard definition, BT.709 for HD), each pixel within one step of the exact
// conversion of its luma and nearest chroma. (The video library's own 8-bit path reads up to six
// steps darker; FFmpeg's conversion, which other players show, agrees with the exact one.)
TEST(FrameConverterTest, ConvertsFourTwoZeroPicturesWithTheMatrixTheirCapsName) {
  ASSERT_TRUE(StartGstreamer());
  struct Case {
    int width, height;
    GstVideoColorMatrix matrix;
  };
  for (GstVideoFormat format : {GST_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_YV12}) {
    for (const Case& c : {Case{17, 9, GST_VIDEO_COLOR_MATRIX_BT601}, Case{64, 48, GST_VIDEO_COLOR_MATRIX_BT601},
                          Case{1920, 1080, GST_VIDEO_COLOR_MATRIX_BT709}}) {
      SCOPED_TRACE(std::string(gst_video_format_to_string(format)) + " " + std::to_string(c.width));
      // The RGB pattern turned into the YUV layout by the library.
      SampleRef rgb(PatternSample(GST_VIDEO_FORMAT_RGB, c.width, c.height));
      GstVideoInfo yuv;
      gst_video_info_set_format(&yuv, format, c.width, c.height);
      CapsRef yuvCaps(gst_video_info_to_caps(&yuv));
      SampleRef picture(gst_video_convert_sample(rgb.get(), yuvCaps.get(), GST_CLOCK_TIME_NONE, nullptr));
      ASSERT_NE(nullptr, picture.get());
      GstVideoInfo info;
      ASSERT_TRUE(gst_video_info_from_caps(&info, gst_sample_get_caps(picture.get())));
      ASSERT_EQ(c.matrix, info.colorimetry.matrix);

      FrameConverter converter;
      converter.SetOutput(GST_VIDEO_FORMAT_BGR, c.width, c.height, 1, 1);
      const std::vector<guint8> ours = Converted(converter, picture.get());
      ASSERT_FALSE(ours.empty());
      GstVideoFrame in;
      ASSERT_TRUE(gst_video_frame_map(&in, &info, gst_sample_get_buffer(picture.get()), GST_MAP_READ));
      const int pitch = (3 * c.width + 3) & ~3;
      int off = 0;
      for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
          auto sampleAt = [&](int comp, int cx, int cy) {
            return static_cast<const guint8*>(
                GST_VIDEO_FRAME_COMP_DATA(&in, comp))[cy * GST_VIDEO_FRAME_COMP_STRIDE(&in, comp) + cx];
          };
          const std::array<int, 3> exact = ExactBgr(sampleAt(0, x, y), sampleAt(1, x / 2, y / 2),
                                                    sampleAt(2, x / 2, y / 2), c.matrix, info.colorimetry.range);
          for (int k = 0; k < 3; ++k) off += std::abs(ours[(c.height - 1 - y) * pitch + 3 * x + k] - exact[k]) > 1;
        }
      gst_video_frame_unmap(&in);
      EXPECT_EQ(0, off);

      // A picture shorter than its caps say is refused, not read past its end.
      GstBuffer* shortBuffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&yuv) / 2, nullptr);
      SampleRef truncated(gst_sample_new(shortBuffer, yuvCaps.get(), nullptr, nullptr));
      gst_buffer_unref(shortBuffer);
      EXPECT_TRUE(Converted(converter, truncated.get()).empty());
    }
  }
}

}  // namespace
