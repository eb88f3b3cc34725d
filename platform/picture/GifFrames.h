// The frames of a gif file, found by walking its blocks without decoding: each frame's place on
// the logical screen, its delay and disposal, and the bytes of a standalone one-frame gif that
// gdk-pixbuf's gif module decodes on its own. An animation is played by decoding one such frame
// at a time onto a canvas, so no more than one decoded frame exists at once. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace picture {

struct GifFrame {
  int left = 0, top = 0, width = 0, height = 0;
  int delayCs = 0;   // hundredths of a second, as stored
  int disposal = 0;  // 0, 1: keep; 2: clear to transparent; 3: restore what was there before
  // Where the frame's bytes are: its graphic control extension (0 when none), its image
  // descriptor, and the end of its image data (after the terminating empty sub-block).
  std::size_t control = 0, descriptor = 0, end = 0;
};

struct GifLayout {
  int screenWidth = 0, screenHeight = 0;
  std::vector<GifFrame> frames;
};

// Walks the file's blocks. False when it is no gif or its blocks break before the first frame
// ends; frames after a break are left out (a cut file plays the frames it has).
bool WalkGif(const std::uint8_t* data, std::size_t size, GifLayout* out);

// A standalone gif of one frame: the header, a screen the frame's size with the file's global
// colour table, the frame's transparency (no delay, no disposal), its descriptor at 0, 0 and its
// image data.
std::vector<std::uint8_t> GifFrameFile(const std::uint8_t* data, std::size_t size, const GifFrame& frame);

}  // namespace picture
