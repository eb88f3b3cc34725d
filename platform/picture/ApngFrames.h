// The frames of an animated png (APNG), found by walking its chunks without decoding: each
// frame's control (place, delay, disposal, blending) and the bytes of a standalone png of that
// frame alone (the file's header at the frame's size, its palette and other chunks that come
// before the image data, and the frame's data as IDAT chunks), which gdk-pixbuf's png module
// decodes (Debian's libpng reads no APNG). One frame is decoded at a time. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace picture {

struct ApngFrame {
  int left = 0, top = 0, width = 0, height = 0;
  int delayNum = 0, delayDen = 0;  // seconds as a fraction; a denominator of 0 means 100
  int dispose = 0;                 // 0 keep, 1 clear to transparent, 2 restore what was there before
  int blend = 0;                   // 0 replace, 1 draw over
  // The chunks of its data: the fcTL chunk's offset, and the offsets of its first and one past
  // its last data chunk (IDAT or fdAT), all in the file.
  std::size_t control = 0, dataBegin = 0, dataEnd = 0;
};

struct ApngLayout {
  int width = 0, height = 0;
  std::vector<ApngFrame> frames;
};

// Walks the chunks. False when the file is no png, has no animation control chunk, or its
// chunks break before the first frame's data ends; frames after a break are left out.
bool WalkApng(const std::uint8_t* data, std::size_t size, ApngLayout* out);

// A standalone png of one frame (see above); empty when its chunks do not fit the file.
std::vector<std::uint8_t> ApngFrameFile(const std::uint8_t* data, std::size_t size, const ApngFrame& frame);

}  // namespace picture
