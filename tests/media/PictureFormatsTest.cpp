// Every picture format and sub-format, made at test time and opened as the viewer opens it
// (through CMovieSource and a media worker in its sandbox): each shows the quadrant picture
// upright and in sRGB.
#include <array>
#include <string>

#include "MediaTestSupport.h"
#include "media/MovieSource.h"
#include "support/PictureFixtures.h"
#include "support/TempDir.h"
#include "support/TestDevice.h"

namespace {

constexpr DWORD kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu;

class PictureFormatsTest : public ::testing::Test {
 protected:
  TestDevice device;
  CapturedBoxes boxes;
};

TEST_F(PictureFormatsTest, EachFormatOpensUprightInItsColours) {
  ASSERT_NE(nullptr, device.get());
  TempDir dir("orbelle-picture-formats");
  ASSERT_TRUE(picture_fixtures::MakePictures(dir.path()));
  const std::array<DWORD, 4> quadrants{kRed, kGreen, kBlue, kWhite};
  struct Case {
    const char* name;
    std::array<DWORD, 4> colours;  // top left, top right, bottom left, bottom right
    int tolerance;
  };
  const Case cases[] = {
      {"rgb.png", quadrants, 0},
      {"palette.png", quadrants, 0},
      {"grey.png", {0xFF404040u, 0xFF808080u, 0xFFC0C0C0u, kWhite}, 0},
      {"deep.png", quadrants, 0},
      {"alpha.png", {kRed, 0xFF000000u, 0xFF000080u, 0xFF000000u}, 1},
      {"lossy.webp", quadrants, 24},
      {"lossless.webp", quadrants, 0},
      {"plain.heic", quadrants, 24},
      {"plain.avif", quadrants, 24},
      {"plain.tif", quadrants, 0},
      {"lzw.tif", quadrants, 0},
      {"progressive.jpg", quadrants, 12},
      {"orientation6.jpg", quadrants, 12},
      {"orientation5.png", quadrants, 0},
      {"orientation7.webp", quadrants, 12},
      {"orientation8.tif", quadrants, 0},
      {"turned.avif", quadrants, 24},
      {"prophoto.jpg", {0xFFE7004Bu, 0xFF00BE26u, 0xFF004CBAu, 0xFF929292u}, 6},
      {"prophoto.heic", {0xFFE7004Bu, 0xFF00BE26u, 0xFF004CBAu, 0xFF929292u}, 24},
      {"cmyk_profile.jpg", {kBlue, kGreen, kRed, kWhite}, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(), WinPath(dir.path() / c.name).c_str(), true));
    ASSERT_TRUE(WaitUntil([&] { return media.GetFramesRendered() > 0; }));
    UINT w = 0, h = 0;
    const std::vector<DWORD> texels = ReadTexels(media.GetTexture(), &w, &h);
    ASSERT_EQ(64u, w);
    ASSERT_EQ(48u, h);
    // Texture row 0 holds the picture's bottom row.
    const auto at = [&](int x, int pictureRow) { return texels[(47 - pictureRow) * 64 + x]; };
    EXPECT_PRED3(Near, c.colours[0], at(16, 12), c.tolerance);
    EXPECT_PRED3(Near, c.colours[1], at(48, 12), c.tolerance);
    EXPECT_PRED3(Near, c.colours[2], at(16, 36), c.tolerance);
    EXPECT_PRED3(Near, c.colours[3], at(48, 36), c.tolerance);
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
