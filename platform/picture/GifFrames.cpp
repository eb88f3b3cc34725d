#include "platform/picture/GifFrames.h"

#include <cstring>

namespace picture {
namespace {

int Le16(const std::uint8_t* p) {
  return p[0] | p[1] << 8;
}

// Skips data sub-blocks from at; the position after the empty one, or 0 when they run past the
// end.
std::size_t SkipSubBlocks(const std::uint8_t* d, std::size_t n, std::size_t at) {
  while (at < n) {
    const std::size_t length = d[at];
    ++at;
    if (length == 0) return at;
    at += length;
  }
  return 0;
}

std::size_t ColourTableBytes(std::uint8_t flags) {
  return (flags & 0x80) ? 3u << ((flags & 7) + 1) : 0;
}

}  // namespace

bool WalkGif(const std::uint8_t* d, std::size_t n, GifLayout* out) {
  *out = GifLayout{};
  if (n < 13 || (std::memcmp(d, "GIF87a", 6) != 0 && std::memcmp(d, "GIF89a", 6) != 0)) return false;
  out->screenWidth = Le16(d + 6);
  out->screenHeight = Le16(d + 8);
  std::size_t at = 13 + ColourTableBytes(d[10]);
  std::size_t control = 0;
  while (at < n) {
    const std::uint8_t block = d[at];
    if (block == 0x3B) break;  // trailer
    if (block == 0x21) {       // extension: label, sub-blocks
      if (at + 2 > n) break;
      if (d[at + 1] == 0xF9) control = at;
      const std::size_t next = SkipSubBlocks(d, n, at + 2);
      if (!next) break;
      at = next;
      continue;
    }
    if (block != 0x2C || at + 10 > n) break;
    GifFrame frame;
    frame.left = Le16(d + at + 1);
    frame.top = Le16(d + at + 3);
    frame.width = Le16(d + at + 5);
    frame.height = Le16(d + at + 7);
    frame.descriptor = at;
    // Graphic control: size 4, packed fields, delay, transparent index, terminator.
    if (control && control + 8 <= n && d[control + 2] == 4) {
      frame.control = control;
      frame.disposal = (d[control + 3] >> 2) & 7;
      frame.delayCs = Le16(d + control + 4);
    }
    control = 0;
    const std::size_t data = at + 10 + ColourTableBytes(d[at + 9]) + 1;  // after the LZW code size
    const std::size_t end = data <= n ? SkipSubBlocks(d, n, data) : 0;
    if (!end) break;
    frame.end = end;
    out->frames.push_back(frame);
    at = end;
  }
  return !out->frames.empty();
}

std::vector<std::uint8_t> GifFrameFile(const std::uint8_t* d, std::size_t n, const GifFrame& frame) {
  if (n < 13 || frame.end > n || frame.descriptor + 10 > frame.end || 13 + ColourTableBytes(d[10]) > n ||
      (frame.control && frame.control + 8 > n))
    return {};
  std::vector<std::uint8_t> file(d, d + 6);
  file[4] = '9';  // a graphic control extension needs 89a
  const auto put16 = [&](int v) {
    file.push_back(static_cast<std::uint8_t>(v & 0xFF));
    file.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  put16(frame.width);
  put16(frame.height);
  const std::size_t global = ColourTableBytes(d[10]);
  file.push_back(d[10]);
  file.push_back(0);  // background colour
  file.push_back(0);  // aspect
  file.insert(file.end(), d + 13, d + 13 + global);
  if (frame.control) {
    // Transparency kept; disposal and delay are the player's business.
    const std::uint8_t* c = d + frame.control;
    file.insert(file.end(), {0x21, 0xF9, 4, static_cast<std::uint8_t>(c[3] & 1), 0, 0, c[6], 0});
  }
  file.push_back(0x2C);
  put16(0);
  put16(0);
  file.insert(file.end(), d + frame.descriptor + 5, d + frame.end);
  file.push_back(0x3B);
  return file;
}

}  // namespace picture
