// The renderer's conversions of decoded 24-bit rows into the texture's formats, every pixel
// checked, at widths around the converters' sixteen-pixel steps and rows padded on both sides.
#include "media/MovieTexture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(MovieTextureTest, ConvertsEveryPixelOfBgrRowsIntoTheTextureFormats) {
  constexpr LONG kHeight = 3;
  constexpr BYTE kGuard = 0xA5;
  for (LONG width : {1, 3, 4, 5, 15, 16, 17, 18, 19, 33, 640}) {
    SCOPED_TRACE("width " + std::to_string(width));
    const LONG srcPitch = (3 * width + 3) & ~3;
    std::vector<BYTE> src(static_cast<std::size_t>(srcPitch) * kHeight);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<BYTE>(i * 37 + 11);
    auto sourceAt = [&](LONG x, LONG y, int component) { return src[y * srcPitch + 3 * x + component]; };

    // Each destination row has 8 guard bytes after its pixels.
    const LONG xrgbPitch = 4 * width + 8;
    std::vector<BYTE> xrgb(static_cast<std::size_t>(xrgbPitch) * kHeight, kGuard);
    CMovieTexture::ConvertToX8R8G8B8(src.data(), srcPitch, xrgb.data(), xrgbPitch, width, kHeight);
    const LONG argbPitch = 2 * width + 8;
    std::vector<BYTE> argb(static_cast<std::size_t>(argbPitch) * kHeight, kGuard);
    CMovieTexture::ConvertToA1R5G5B5(src.data(), srcPitch, argb.data(), argbPitch, width, kHeight);

    int wrong = 0, guards = 0;
    for (LONG y = 0; y < kHeight; ++y) {
      for (LONG x = 0; x < width; ++x) {
        const unsigned b = sourceAt(x, y, 0), g = sourceAt(x, y, 1), r = sourceAt(x, y, 2);
        std::uint32_t texel;
        std::memcpy(&texel, &xrgb[y * xrgbPitch + 4 * x], 4);
        wrong += texel != (0xFF000000u | r << 16 | g << 8 | b);
        std::uint16_t small;
        std::memcpy(&small, &argb[y * argbPitch + 2 * x], 2);
        wrong += small != (0x8000u | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
      }
      for (LONG k = 0; k < 8; ++k)
        guards += (xrgb[y * xrgbPitch + 4 * width + k] != kGuard) + (argb[y * argbPitch + 2 * width + k] != kGuard);
    }
    EXPECT_EQ(0, wrong);
    EXPECT_EQ(0, guards);
  }
}

}  // namespace
