// The media picture's pixels at several zooms on a real device: each pixel shows the texel its
// centre falls on, and the picture ends on its own first and last texels on every side.
#include <cmath>

#include "ui/SceneFixture.h"

namespace {

class PictureEdgesTest : public SceneFixture {
 protected:
  // The pattern picture (160 x 120, colour a function of the position) with empty lens layers,
  // so that the lens square shows exactly the picture over the white the frame was cleared to.
  void OpenPattern() {
    StartScene();
    g_textures->LoadTextureIntoSlot(u"no such lens.png", TEXID_LENSBACK);
    g_textures->LoadTextureIntoSlot(u"no such lens.png", TEXID_ORBELLE);
    scene->OpenMedia(MediaFixture("pattern.bmp"));
    ASSERT_NE(nullptr, scene->m_media);
    ASSERT_TRUE(WaitUntil([&] { return At(DrawScene(), 320, 240) != 0xFFFFFFu; }));
  }
  static DWORD Pattern(int x, int y) {
    return static_cast<DWORD>((((x * 7) & 255) << 16) | (((y * 13 + 5) & 255) << 8) | ((x + y * 3) & 255));
  }
  // Texels a pixel k of a span of dst pixels showing src texels may show: enlarged, the one under
  // the pixel's centre; at 1:1 and smaller, the one half a texel on from the pixel's left edge (as
  // it always was). Within a twentieth of a texel of a boundary both neighbours pass: the
  // device interpolates in single precision.
  static bool TexelFits(int texel, int k, int src, int dst) {
    const double s = static_cast<double>(src) / dst;
    const double at = dst > src ? (k + 0.5) * s : 0.5 + k * s;
    return texel == static_cast<int>(std::floor(at - 0.05)) || texel == static_cast<int>(std::floor(at + 0.05));
  }
};

TEST_F(PictureEdgesTest, EveryZoomShowsTheTexelUnderEachPixelUpToThePicturesOwnEdges) {
  OpenPattern();
  const int width = 160, height = 120;
  for (int zoom : {23, 51, 93, 100, 107, 198, 205, 303}) {
    scene->m_zoom = zoom;
    scene->m_zoomFrom = -1;
    scene->m_zoomFramesLeft = 0;
    const RECT r = scene->MediaRect();
    const int dstW = r.right - r.left, dstH = r.bottom - r.top;
    // The lens over the top-left and over the bottom-right corner of the picture.
    const POINT lenses[] = {{r.left + 40, r.top + 40}, {r.right - 40, r.bottom - 40}};
    for (const POINT& lens : lenses) {
      SCOPED_TRACE(testing::Message() << "zoom " << zoom << ", lens at " << lens.x << "," << lens.y);
      scene->m_cursorX = lens.x;
      scene->m_cursorY = lens.y;
      const std::vector<DWORD> px = DrawScene();
      int wrong = 0, edgePixels = 0;
      for (int y = std::max(0, lens.y - 64); y < std::min(430, lens.y + 64); ++y)
        for (int x = std::max(0, lens.x - 64); x < std::min(600, lens.x + 64); ++x) {
          const DWORD got = At(px, x, y);
          const bool inPicture = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
          bool fits = got == 0xFFFFFFu;
          if (inPicture) {
            fits = false;
            const int kx = x - r.left, ky = y - r.top;
            // Search the texels the pixel may show (each axis has at most two candidates).
            for (int ty = 0; ty < height && !fits; ++ty) {
              if (!TexelFits(ty, ky, height, dstH)) continue;
              for (int tx = 0; tx < width && !fits; ++tx)
                fits = TexelFits(tx, kx, width, dstW) && got == Pattern(tx, ty);
            }
            edgePixels += kx == 0 || ky == 0 || kx == dstW - 1 || ky == dstH - 1;
          }
          if (!fits && ++wrong <= 3)
            ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << got << std::dec << " (picture pixel "
                          << x - r.left << "," << y - r.top << " of " << dstW << "x" << dstH << ")";
        }
      EXPECT_EQ(0, wrong);
      EXPECT_GT(edgePixels, 0) << "the lens missed the picture's edges";
    }
  }
  // At 303 % the picture's last column and last row show its own last texels, not black.
  scene->m_zoom = 303;
  const RECT r = scene->MediaRect();
  scene->m_cursorX = r.right - 40;
  scene->m_cursorY = r.bottom - 40;
  const std::vector<DWORD> px = DrawScene();
  EXPECT_EQ(Pattern(width - 1, height - 1), At(px, r.right - 1, r.bottom - 1));
  EXPECT_EQ(Pattern(width - 1, height - 2), At(px, r.right - 1, r.bottom - 4));
  EXPECT_EQ(Pattern(width - 2, height - 1), At(px, r.right - 4, r.bottom - 1));
  EXPECT_EQ(0xFFFFFFu, At(px, r.right, r.bottom - 1));
  EXPECT_EQ(0xFFFFFFu, At(px, r.right - 1, r.bottom));
}

}  // namespace
