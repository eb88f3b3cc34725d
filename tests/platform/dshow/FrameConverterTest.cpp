// The renderer's picture conversion on its own: any raw layout in, DirectShow's bottom-up
// 24-bit rows out, every pixel checked, at widths around the sixteen-pixel steps.
#include "platform/dshow/FrameConverter.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/dshow/GstSupport.h"

namespace {

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
int PixelsOffPattern(GstBuffer* out, int width, int height) {
  GstMapInfo map;
  if (!gst_buffer_map(out, &map, GST_MAP_READ)) return -1;
  const int pitch = (3 * width + 3) & ~3;
  int wrong = map.size < static_cast<gsize>(pitch) * height ? width * height : 0;
  for (int row = 0; row < height && !wrong; ++row) {
    const int y = height - 1 - row;
    for (int x = 0; x < width; ++x) {
      const guint8* p = map.data + row * pitch + 3 * x;
      const Rgb c = PatternPixel(x, y);
      wrong += p[0] != c.b || p[1] != c.g || p[2] != c.r;
    }
  }
  gst_buffer_unmap(out, &map);
  return wrong;
}

TEST(FrameConverterTest, PacksEveryPixelBottomRowFirstAtWidthsAroundTheSimdSteps) {
  ASSERT_TRUE(dshow::EnsureGstreamer());
  struct Size {
    int width, height;
  };
  const Size sizes[] = {{1, 5},  {2, 5},  {3, 5},  {15, 5}, {16, 5},  {17, 5},   {18, 5},
                        {19, 5}, {33, 5}, {34, 5}, {35, 5}, {322, 5}, {640, 480}};
  for (GstVideoFormat format :
       {GST_VIDEO_FORMAT_BGRx, GST_VIDEO_FORMAT_xRGB, GST_VIDEO_FORMAT_RGB, GST_VIDEO_FORMAT_BGR}) {
    for (const Size& size : sizes) {
      SCOPED_TRACE(std::string(gst_video_format_to_string(format)) + " " + std::to_string(size.width) + "x" +
                   std::to_string(size.height));
      dshow::FrameConverter converter;
      converter.SetOutput(GST_VIDEO_FORMAT_BGR, size.width, size.height, 1, 1);
      dshow::SampleRef sample(PatternSample(format, size.width, size.height));
      GstBuffer* out = converter.Convert(sample.get());
      ASSERT_NE(nullptr, out);
      EXPECT_EQ(0, PixelsOffPattern(out, size.width, size.height));
      EXPECT_EQ(40 * GST_MSECOND, GST_BUFFER_PTS(out));
    }
  }
}

TEST(FrameConverterTest, RefusesWhatItCannotRead) {
  ASSERT_TRUE(dshow::EnsureGstreamer());
  dshow::FrameConverter converter;
  dshow::SampleRef sample(PatternSample(GST_VIDEO_FORMAT_BGR, 16, 4));
  // Nothing settled yet.
  EXPECT_EQ(nullptr, converter.Convert(sample.get()));
  converter.SetOutput(GST_VIDEO_FORMAT_BGR, 16, 4, 1, 1);
  ASSERT_NE(nullptr, converter.Convert(sample.get()));
  // A buffer shorter than its caps say (a damaged file's picture) is never read.
  GstBuffer* shortBuffer = gst_buffer_new_allocate(nullptr, 100, nullptr);
  GstCaps* caps = gst_sample_get_caps(sample.get());
  dshow::SampleRef truncated(gst_sample_new(shortBuffer, caps, nullptr, nullptr));
  gst_buffer_unref(shortBuffer);
  EXPECT_EQ(nullptr, converter.Convert(truncated.get()));
  // Caps that say nothing about a picture.
  dshow::CapsRef audio(gst_caps_from_string("audio/x-raw, format=S16LE, rate=44100, channels=2"));
  GstBuffer* bytes = gst_buffer_new_allocate(nullptr, 1000, nullptr);
  dshow::SampleRef notVideo(gst_sample_new(bytes, audio.get(), nullptr, nullptr));
  gst_buffer_unref(bytes);
  EXPECT_EQ(nullptr, converter.Convert(notVideo.get()));
  EXPECT_EQ(nullptr, converter.Convert(nullptr));
}

}  // namespace
