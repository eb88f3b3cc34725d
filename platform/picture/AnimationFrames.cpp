#include "platform/picture/AnimationFrames.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>

#include "platform/picture/ApngFrames.h"
#include "platform/picture/ColourProfile.h"
#include "platform/picture/GifFrames.h"
#include "platform/picture/PictureChunks.h"

namespace picture {
namespace {

constexpr std::int64_t kMillisecond = 1000000;

// Where a frame's extent from `at` ends on a canvas side of `side`: a file may place a frame
// anywhere up to 2^31, so the sum is taken wide.
int End(int at, int extent, int side) {
  return static_cast<int>(std::min<std::int64_t>(side, std::int64_t{at} + extent));
}

// Decodes a whole one-frame file with the type's gdk-pixbuf module into RGBA rows of width x 4
// bytes; false when the module refuses it or it is not of the size expected.
bool DecodeFrame(const char* module, const std::vector<std::uint8_t>& file, int width, int height,
                 std::vector<std::uint8_t>* rgba) {
  if (file.empty()) return false;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(module, nullptr);
  if (!loader) return false;
  bool ok = gdk_pixbuf_loader_write(loader, file.data(), file.size(), nullptr);
  ok = gdk_pixbuf_loader_close(loader, nullptr) && ok;
  GdkPixbuf* pixbuf = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
  if (pixbuf && gdk_pixbuf_get_width(pixbuf) == width && gdk_pixbuf_get_height(pixbuf) == height &&
      gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 && gdk_pixbuf_get_colorspace(pixbuf) == GDK_COLORSPACE_RGB) {
    const int channels = gdk_pixbuf_get_n_channels(pixbuf), rowstride = gdk_pixbuf_get_rowstride(pixbuf);
    const std::uint8_t* pixels = gdk_pixbuf_read_pixels(pixbuf);
    rgba->resize(static_cast<std::size_t>(width) * height * 4);
    std::uint8_t* out = rgba->data();
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* in = pixels + static_cast<std::size_t>(y) * rowstride;
      for (int x = 0; x < width; ++x, in += channels, out += 4) {
        std::memcpy(out, in, 3);
        out[3] = channels == 4 ? in[3] : 255;
      }
    }
  } else {
    ok = false;
  }
  g_object_unref(loader);
  return ok;
}

class GifAnimation final : public AnimationFrames {
 public:
  GifAnimation(const std::uint8_t* data, std::size_t size, GifLayout layout, const PictureLimits& limits)
      : AnimationFrames(layout.screenWidth, layout.screenHeight, static_cast<int>(layout.frames.size()), limits),
        data_(data),
        size_(size),
        layout_(std::move(layout)) {}

 private:
  bool Compose(int index, std::int64_t* delayNs) override {
    const GifFrame& f = layout_.frames[static_cast<std::size_t>(index)];
    *delayNs = std::int64_t{f.delayCs} * 10 * kMillisecond;
    if (f.disposal == 3) SaveRegion(f.left, f.top, f.width, f.height);
    // Clear pixels leave what is below them: drawn over.
    const bool decoded = DecodeFrame("gif", GifFrameFile(data_, size_, f), f.width, f.height, &frame_);
    if (decoded) Draw(frame_.data(), f.width * 4, f.left, f.top, f.width, f.height, true);
    frame_.clear();
    frame_.shrink_to_fit();
    return decoded;
  }
  void Dispose(int index) override {
    const GifFrame& f = layout_.frames[static_cast<std::size_t>(index)];
    if (f.disposal == 2) ClearRegion(f.left, f.top, f.width, f.height);
    if (f.disposal == 3) RestoreRegion();
  }

  const std::uint8_t* data_;
  std::size_t size_;
  GifLayout layout_;
  std::vector<std::uint8_t> frame_;
};

class ApngAnimation final : public AnimationFrames {
 public:
  ApngAnimation(const std::uint8_t* data, std::size_t size, ApngLayout layout, const PictureLimits& limits)
      : AnimationFrames(layout.width, layout.height, static_cast<int>(layout.frames.size()), limits),
        data_(data),
        size_(size),
        layout_(std::move(layout)) {}

 private:
  bool Compose(int index, std::int64_t* delayNs) override {
    const ApngFrame& f = layout_.frames[static_cast<std::size_t>(index)];
    const std::int64_t den = f.delayDen ? f.delayDen : 100;
    *delayNs = std::int64_t{f.delayNum} * 1000 * kMillisecond / den;
    if (Dispose(f, index) == 2) SaveRegion(f.left, f.top, f.width, f.height);
    const bool decoded = DecodeFrame("png", ApngFrameFile(data_, size_, f), f.width, f.height, &frame_);
    if (decoded) Draw(frame_.data(), f.width * 4, f.left, f.top, f.width, f.height, f.blend == 1);
    frame_.clear();
    frame_.shrink_to_fit();
    return decoded;
  }
  void Dispose(int index) override {
    const ApngFrame& f = layout_.frames[static_cast<std::size_t>(index)];
    const int dispose = Dispose(f, index);
    if (dispose == 1) ClearRegion(f.left, f.top, f.width, f.height);
    if (dispose == 2) RestoreRegion();
  }
  // The first frame has nothing before it to restore: it is cleared instead.
  static int Dispose(const ApngFrame& f, int index) { return index == 0 && f.dispose == 2 ? 1 : f.dispose; }

  const std::uint8_t* data_;
  std::size_t size_;
  ApngLayout layout_;
  std::vector<std::uint8_t> frame_;
};

// libwebp composes its frames itself and keeps its own canvas; each is copied onto this one.
class WebpAnimation final : public AnimationFrames {
 public:
  WebpAnimation(WebPAnimDecoder* decoder, int width, int height, int frames, const PictureLimits& limits,
                std::vector<std::uint8_t> icc)
      : AnimationFrames(width, height, frames, limits), decoder_(decoder) {
    SetProfile(std::move(icc));
  }
  ~WebpAnimation() override { WebPAnimDecoderDelete(decoder_); }

 private:
  bool Compose(int index, std::int64_t* delayNs) override {
    if (index == 0) {
      WebPAnimDecoderReset(decoder_);
      previous_ = 0;
    }
    std::uint8_t* pixels = nullptr;
    int timestamp = previous_;
    const bool decoded =
        WebPAnimDecoderHasMoreFrames(decoder_) && WebPAnimDecoderGetNext(decoder_, &pixels, &timestamp) && pixels;
    if (decoded) std::memcpy(Canvas(), pixels, static_cast<std::size_t>(CanvasWidth()) * CanvasHeight() * 4);
    // The time stamp is where the frame ends.
    *delayNs = std::int64_t{std::max(0, timestamp - previous_)} * kMillisecond;
    previous_ = timestamp;
    return decoded;
  }
  void Dispose(int) override {}

  WebPAnimDecoder* decoder_;
  int previous_ = 0;
};

std::unique_ptr<AnimationFrames> OpenWebp(const std::uint8_t* data, std::size_t size, const PictureLimits& limits,
                                          std::string* error) {
  if (!FindWebpChunk(data, size, "ANIM").data) return nullptr;
  WebPData bytes{data, size};
  // The demuxer reads the canvas size and counts frames without decoding any.
  WebPDemuxer* demuxer = WebPDemux(&bytes);
  if (!demuxer) return nullptr;
  const int width = static_cast<int>(WebPDemuxGetI(demuxer, WEBP_FF_CANVAS_WIDTH));
  const int height = static_cast<int>(WebPDemuxGetI(demuxer, WEBP_FF_CANVAS_HEIGHT));
  const int frames = static_cast<int>(WebPDemuxGetI(demuxer, WEBP_FF_FRAME_COUNT));
  WebPDemuxDelete(demuxer);
  if (frames < 2) return nullptr;
  if (!WithinLimits(width, height, limits)) {
    *error = "animation of " + std::to_string(width) + " x " + std::to_string(height) + " is beyond the size limit";
    return nullptr;
  }
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return nullptr;
  options.color_mode = MODE_RGBA;
  options.use_threads = 0;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&bytes, &options);
  if (!decoder) {
    *error = "the webp animation does not decode";
    return nullptr;
  }
  return std::make_unique<WebpAnimation>(decoder, width, height, frames, limits, WebpIccProfile(data, size));
}

}  // namespace

std::int64_t ShownDelayNs(std::int64_t delayNs) {
  return delayNs < 20 * kMillisecond ? 100 * kMillisecond : delayNs;
}

std::unique_ptr<AnimationFrames> AnimationFrames::Open(const std::uint8_t* data, std::size_t size,
                                                       const PictureLimits& limits, std::string* error) {
  error->clear();
  std::unique_ptr<AnimationFrames> animation;
  int width = 0, height = 0;
  switch (DetectPictureType(data, size)) {
    case PictureType::Gif: {
      GifLayout layout;
      if (!WalkGif(data, size, &layout) || layout.frames.size() < 2) return nullptr;
      width = layout.screenWidth;
      height = layout.screenHeight;
      // An empty frame draws nothing; any other is held to the limits.
      for (const GifFrame& f : layout.frames)
        if (!WithinLimits(width, height, limits) || (f.width && f.height && !WithinLimits(f.width, f.height, limits)))
          width = height = 0;
      if (width > 0) animation = std::make_unique<GifAnimation>(data, size, std::move(layout), limits);
      break;
    }
    case PictureType::Png: {
      ApngLayout layout;
      if (!WalkApng(data, size, &layout) || layout.frames.size() < 2) return nullptr;
      width = layout.width;
      height = layout.height;
      for (const ApngFrame& f : layout.frames)
        if (!WithinLimits(width, height, limits) || (f.width && f.height && !WithinLimits(f.width, f.height, limits)))
          width = height = 0;
      if (width > 0) animation = std::make_unique<ApngAnimation>(data, size, std::move(layout), limits);
      break;
    }
    case PictureType::WebP:
      return OpenWebp(data, size, limits, error);
    default:
      return nullptr;
  }
  if (!animation) {
    *error = "an animation frame is beyond the size limit";
    return nullptr;
  }
  animation->SetProfile(PngIccProfile(data, size));
  return animation;
}

AnimationFrames::AnimationFrames(int width, int height, int frameCount, const PictureLimits& limits)
    : width_(width),
      height_(height),
      frameCount_(frameCount),
      canvas_(static_cast<std::size_t>(width) * height * 4, 0) {
  FittedSize(width, height, limits, &shownWidth_, &shownHeight_);
}

void AnimationFrames::Rewind() {
  next_ = 0;
}

bool AnimationFrames::Next(PictureSink& sink, std::int64_t* delayNs) {
  if (next_ == 0) {
    std::fill(canvas_.begin(), canvas_.end(), std::uint8_t{0});
    saved_.clear();
  } else {
    Dispose(next_ - 1);
  }
  std::int64_t stored = 0;
  lastDecoded_ = Compose(next_, &stored);
  *delayNs = ShownDelayNs(stored);
  next_ = (next_ + 1) % frameCount_;

  // In sRGB and scaled to the size shown; the copies made for that live for this frame only.
  std::vector<std::uint8_t> converted;
  std::uint8_t* source = canvas_.data();
  if (!icc_.empty()) {
    converted = canvas_;
    if (ConvertRgbToSrgb(icc_, converted.data(), width_, height_, width_ * 4, 4)) source = converted.data();
  }
  GdkPixbuf* scaled = nullptr;
  const std::uint8_t* pixels = source;
  int rowstride = width_ * 4;
  if (shownWidth_ != width_ || shownHeight_ != height_) {
    GdkPixbuf* whole =
        gdk_pixbuf_new_from_data(source, GDK_COLORSPACE_RGB, TRUE, 8, width_, height_, rowstride, nullptr, nullptr);
    scaled = whole ? gdk_pixbuf_scale_simple(whole, shownWidth_, shownHeight_, GDK_INTERP_BILINEAR) : nullptr;
    if (whole) g_object_unref(whole);
    if (!scaled) return false;
    pixels = gdk_pixbuf_read_pixels(scaled);
    rowstride = gdk_pixbuf_get_rowstride(scaled);
  }
  bool ok = sink.Begin(shownWidth_, shownHeight_);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(BgrStride(shownWidth_)), 0);
  for (int y = 0; ok && y < shownHeight_; ++y) {
    const std::uint8_t* in = pixels + static_cast<std::size_t>(y) * rowstride;
    std::uint8_t* out = row.data();
    for (int x = 0; x < shownWidth_; ++x, in += 4, out += 3) {
      // Over black, as a still's transparent parts.
      out[0] = static_cast<std::uint8_t>((in[2] * in[3] + 127) / 255);
      out[1] = static_cast<std::uint8_t>((in[1] * in[3] + 127) / 255);
      out[2] = static_cast<std::uint8_t>((in[0] * in[3] + 127) / 255);
    }
    ok = sink.Row(row.data());
  }
  if (scaled) g_object_unref(scaled);
  return ok;
}

void AnimationFrames::Draw(const std::uint8_t* rgba, int rowstride, int left, int top, int width, int height,
                           bool over) {
  const int x0 = std::max(0, left), y0 = std::max(0, top);
  const int x1 = End(left, width, width_), y1 = End(top, height, height_);
  for (int y = y0; y < y1; ++y) {
    const std::uint8_t* in = rgba + static_cast<std::size_t>(y - top) * rowstride + 4 * (x0 - left);
    std::uint8_t* out = canvas_.data() + (static_cast<std::size_t>(y) * width_ + x0) * 4;
    for (int x = x0; x < x1; ++x, in += 4, out += 4) {
      if (!over || in[3] == 255) {
        std::memcpy(out, in, 4);
      } else if (in[3] != 0) {
        // Straight alpha: the result's opacity, then each colour weighted by its share.
        const int sa = in[3], da = out[3] * (255 - sa) / 255, a = sa + da;
        for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>((in[c] * sa + out[c] * da + a / 2) / a);
        out[3] = static_cast<std::uint8_t>(a);
      }
    }
  }
}

void AnimationFrames::SaveRegion(int left, int top, int width, int height) {
  savedLeft_ = std::max(0, left);
  savedTop_ = std::max(0, top);
  savedWidth_ = std::max(0, End(left, width, width_) - savedLeft_);
  savedHeight_ = std::max(0, End(top, height, height_) - savedTop_);
  saved_.resize(static_cast<std::size_t>(savedWidth_) * savedHeight_ * 4);
  for (int y = 0; y < savedHeight_; ++y)
    std::memcpy(saved_.data() + static_cast<std::size_t>(y) * savedWidth_ * 4,
                canvas_.data() + (static_cast<std::size_t>(savedTop_ + y) * width_ + savedLeft_) * 4,
                static_cast<std::size_t>(savedWidth_) * 4);
}

void AnimationFrames::RestoreRegion() {
  if (saved_.empty()) return;
  for (int y = 0; y < savedHeight_; ++y)
    std::memcpy(canvas_.data() + (static_cast<std::size_t>(savedTop_ + y) * width_ + savedLeft_) * 4,
                saved_.data() + static_cast<std::size_t>(y) * savedWidth_ * 4,
                static_cast<std::size_t>(savedWidth_) * 4);
  saved_.clear();
}

void AnimationFrames::ClearRegion(int left, int top, int width, int height) {
  const int x0 = std::max(0, left), y0 = std::max(0, top);
  const int x1 = End(left, width, width_), y1 = End(top, height, height_);
  for (int y = y0; y < y1 && x0 < x1; ++y)
    std::memset(canvas_.data() + (static_cast<std::size_t>(y) * width_ + x0) * 4, 0,
                static_cast<std::size_t>(x1 - x0) * 4);
}

}  // namespace picture
