// An animated gif, webp or png, played one frame at a time: the frames are composed onto one
// canvas as their disposal and blending say, and each is decoded only when it is asked for, so
// memory holds the file, the canvas and at most one decoded frame (and a saved region for a
// frame that is to be undone), however many frames and loops go by. After the last frame the
// first comes again, for ever. Not thread-safe; one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/picture/PictureDecode.h"

namespace picture {

// A frame's delay as shown: one under 20 ms (many files say 0 or 10 ms and mean "as fast as
// the viewer likes") counts as 100 ms, as browsers do.
std::int64_t ShownDelayNs(std::int64_t delayNs);

class AnimationFrames {
 public:
  virtual ~AnimationFrames() = default;

  // The frames of a gif, webp or png of two frames or more, or null: a one-frame file and any
  // other type are stills (null with *error empty), as is an animation whose canvas is beyond
  // the limits or whose first frame does not decode (null with the reason). The bytes are kept
  // by the caller for the life of the object.
  static std::unique_ptr<AnimationFrames> Open(const std::uint8_t* data, std::size_t size, const PictureLimits& limits,
                                               std::string* error);

  // The size of the frames handed over (the canvas, scaled down to fit limits.fitSide).
  int Width() const { return shownWidth_; }
  int Height() const { return shownHeight_; }
  int FrameCount() const { return frameCount_; }

  // Composes the next frame and hands it to the sink as the still decoder does (rows top first,
  // packed BGR, in sRGB from the file's embedded profile, transparent parts over black); *delayNs
  // is how long it shows (ShownDelayNs).
  // A frame that does not decode shows as the canvas before it. False when the sink refuses.
  bool Next(PictureSink& sink, std::int64_t* delayNs);
  // Whether the frame Next handed over last decoded (the first frame of a file that opens must).
  bool LastFrameDecoded() const { return lastDecoded_; }
  // Starts again before the first frame, with a clear canvas.
  void Rewind();

 protected:
  AnimationFrames(int width, int height, int frameCount, const PictureLimits& limits);
  // The colour profile the canvas's values are in (none: sRGB).
  void SetProfile(std::vector<std::uint8_t> icc) { icc_ = std::move(icc); }
  // The RGBA canvas, rows top first, width x 4 bytes each.
  std::uint8_t* Canvas() { return canvas_.data(); }
  int CanvasWidth() const { return width_; }
  int CanvasHeight() const { return height_; }
  // Draws an RGBA frame (rows of rowstride bytes) at left, top, clipped to the canvas: replacing
  // what is there, or over it by its opacity.
  void Draw(const std::uint8_t* rgba, int rowstride, int left, int top, int width, int height, bool over);
  // Saves the canvas region a frame covers / puts it back / clears it to transparent.
  void SaveRegion(int left, int top, int width, int height);
  void RestoreRegion();
  void ClearRegion(int left, int top, int width, int height);

  // Composes frame `index` onto the canvas (after undoing the previous frame as it asked) and
  // says its delay as stored, in ns. False when the frame did not decode (the canvas is left as
  // it was).
  virtual bool Compose(int index, std::int64_t* delayNs) = 0;
  // Undoes what frame `index` asked to be undone after it was shown.
  virtual void Dispose(int index) = 0;

 private:
  int width_, height_, frameCount_;
  int shownWidth_ = 0, shownHeight_ = 0;
  int next_ = 0;
  bool composedAny_ = false;
  bool lastDecoded_ = false;
  std::vector<std::uint8_t> canvas_;
  std::vector<std::uint8_t> saved_;
  std::vector<std::uint8_t> icc_;  // the file's colour profile; empty: sRGB
  int savedLeft_ = 0, savedTop_ = 0, savedWidth_ = 0, savedHeight_ = 0;
};

}  // namespace picture
