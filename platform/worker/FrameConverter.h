// Turns a decoded picture of any raw format and size into the renderer's settled RGB layout
// (DirectShow's: rows bottom first, each padded to 4 bytes). A 4:2:0 picture of the settled
// size (what the decoders give for almost every file) is converted by libyuv straight into the
// 24-bit output. Anything else goes through the video library, which converts to 32-bit pixels;
// libyuv then turns the rows over while it narrows them to 24 bits, so the vertical flip costs no
// copy of its own. A picture whose size differs from the settled one (a stream that changes size
// mid-way) is scaled into it, keeping its display aspect ratio with black borders. Internal to
// platform/worker; used on one streaming thread at a time.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include "platform/worker/YuvToBgr.h"

namespace worker {

// libyuv picks its processor paths at its first call, and may read the environment and files to
// do so; a process that shuts itself in calls this first.
void PrepareFrameConversion();

class FrameConverter {
 public:
  FrameConverter() = default;
  ~FrameConverter();
  FrameConverter(const FrameConverter&) = delete;
  FrameConverter& operator=(const FrameConverter&) = delete;

  // Settles the output: BGR or BGRx, width x height, and the pixel aspect ratio of the first
  // picture (so that later pictures of another shape keep theirs). Forgets any earlier state.
  void SetOutput(GstVideoFormat format, int width, int height, int parN, int parD);
  // The bytes of one output picture (rows of (bytes per pixel x width + 3) & ~3 bytes); 0 when
  // nothing is settled.
  gsize OutputBytes() const;
  // Converts the sample's picture into dest, which holds size bytes (at least OutputBytes()).
  // False, with dest in an unknown state, when the picture cannot be read or converted.
  bool ConvertInto(GstSample* sample, guint8* dest, gsize size);
  // Drops the converter and its working buffer.
  void Reset();

 private:
  bool Prepare(const GstVideoInfo& in);
  bool CanConvertDirectly(const GstVideoInfo& in, YuvMatrix* matrix) const;
  bool ConvertDirectly(const GstVideoInfo& in, const YuvMatrix& matrix, GstBuffer* input, guint8* dest);

  GstVideoInfo out_{};
  bool hasOutput_ = false;
  int parN_ = 1, parD_ = 1;
  GstVideoConverter* converter_ = nullptr;
  GstVideoInfo in_{};           // what converter_ was made for
  GstVideoInfo target_{};       // stage_: BGRx of the output's size with the timing of in_
  GstBuffer* stage_ = nullptr;  // the converter's own output, top-down BGRx
};

}  // namespace worker
