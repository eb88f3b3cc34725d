// Small hostile picture files, as bytes: each one has broken a decoder that ran inside a
// viewer (an endless loop, gigabytes allocated from a few bytes, a crash). Shared by the tests
// of the still-image source and of the media layer above it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hostile {

using Bytes = std::vector<std::uint8_t>;

// A picture's png signature and header, cut inside its first data chunk (64 bytes), meant to be
// named .jpg: a decoder that goes by content loops on it for ever.
inline Bytes PngTruncatedTo64() {
  Bytes png = {0x89, 'P',  'N',  'G', '\r', '\n', 0x1A, '\n', 0,   0,   0,   13,   'I', 'H', 'D',
               'R',  0,    0,    0,   64,   0,    0,    0,    64,  8,   2,   0,    0,   0,   0x25,
               0x0B, 0xE6, 0x89, 0,   0,    0x10, 0,    'I',  'D', 'A', 'T', 0x78, 0x9C};
  while (png.size() < 64) png.push_back(static_cast<std::uint8_t>(png.size() * 37));
  return png;
}

// A 29-byte gif whose screen is 1 x 1 and whose image descriptor says 40000 x 40000.
inline Bytes HugeGifFrame() {
  return {'G', 'I', 'F', '8',  '9',  'a',  1,    0, 1, 0, 0,    0,    0, ',', 0,
          0,   0,   0,   0x40, 0x9C, 0x40, 0x9C, 0, 2, 2, 0x4C, 0x01, 0, ';'};
}

// Starts like a jpeg, then is an svg picture of 30000 x 30000.
inline Bytes SvgAsJpeg() {
  const std::string svg =
      "<svg width='30000' height='30000' xmlns='http://www.w3.org/2000/svg'><rect width='30000' "
      "height='30000'/></svg>";
  Bytes bytes = {0xFF, 0xD8, 0xFF, 0xE0};
  bytes.insert(bytes.end(), svg.begin(), svg.end());
  return bytes;
}

// Valid headers and complete sub-blocks, with an LZW stream that starts at the largest code
// size and names codes that are not in the table, in two frames.
inline Bytes BadLzwGif() {
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
  for (int frame = 0; frame < 2; ++frame) {
    const Bytes image = {',', 0, 0, 0, 0, 4, 0, 4, 0, 0, 12, 8, 0xFF, 0xFF, 0x0F, 0xF0, 0xAB, 0xCD, 0xEF, 0x01, 0};
    gif.insert(gif.end(), image.begin(), image.end());
  }
  gif.push_back(';');
  return gif;
}

// The hostile files above with the names they arrive under.
inline std::vector<std::pair<std::string, Bytes>> NamedFiles() {
  return {{"truncated_png.jpg", PngTruncatedTo64()},
          {"huge_frame.gif", HugeGifFrame()},
          {"svg.jpg", SvgAsJpeg()},
          {"bad_lzw.gif", BadLzwGif()}};
}

}  // namespace hostile
