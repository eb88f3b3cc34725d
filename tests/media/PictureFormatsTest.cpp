// Every picture format and sub-format, made at test time and opened as the viewer opens it
// (through CMovieSource and a media worker in its sandbox): each shows the quadrant picture
// upright and in sRGB.
#include <array>
#include <chrono>
#include <cmath>
#include <fstream>
#include <string>
#include <thread>

#include "MediaTestSupport.h"
#include "media/MovieSource.h"
#include "support/PictureFixtures.h"
#include "support/Sanitizers.h"
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

// An animated picture plays by the clock in a loop: paused at some moment, the texture holds the
// frame whose time covers the position (red to 50 ms, its left half green to 150 ms, blue to
// 350 ms, then again); moments within 30 ms of a change are not judged. The viewer's memory stays
// where it was after the first loops.
TEST_F(PictureFormatsTest, AnimationPlaysItsFramesByTheClockInALoop) {
  ASSERT_NE(nullptr, device.get());
  TempDir dir("orbelle-picture-animations");
  ASSERT_TRUE(picture_fixtures::MakePictures(dir.path()));
  const auto residentKb = [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1L;
  };
  for (const char* name : {"anim.gif", "anim.png", "anim.webp"}) {
    SCOPED_TRACE(name);
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(), WinPath(dir.path() / name).c_str(), true));
    EXPECT_EQ(32, media.GetWidth());
    EXPECT_EQ(24, media.GetHeight());
    IMediaControl* control = media.GetMediaControl();
    ASSERT_TRUE(control);
    ASSERT_TRUE(WaitUntil([&] { return Position(media) >= 0.75; }));  // past two loops
    const long before = residentKb();
    int judged = 0;
    for (int attempt = 0; attempt < 40 && judged < 4; ++attempt) {
      ASSERT_EQ(S_OK, control->Stop());
      // The frame for the position reaches the texture before the pause settles.
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      const int at = static_cast<int>(std::lround(Position(media) * 1000)) % 350;
      const bool nearChange = std::abs(at - 50) < 30 || std::abs(at - 150) < 30 || at < 30 || at > 320;
      if (!nearChange) {
        UINT w = 0, h = 0;
        const std::vector<DWORD> texels = ReadTexels(media.GetTexture(), &w, &h);
        ASSERT_EQ(32u * 24u, texels.size());
        const DWORD left = texels[12 * 32 + 8], right = texels[12 * 32 + 24];
        const DWORD wantLeft = at < 50 ? kRed : at < 150 ? kGreen : kBlue;
        const DWORD wantRight = at < 150 ? kRed : kBlue;
        EXPECT_PRED3(Near, wantLeft, left, 0) << at << " ms into the loop";
        EXPECT_PRED3(Near, wantRight, right, 0) << at << " ms into the loop";
        ++judged;
      }
      ASSERT_EQ(S_OK, control->Run());
      std::this_thread::sleep_for(std::chrono::milliseconds(37 + 53 * attempt % 211));
    }
    EXPECT_EQ(4, judged);
    if (kMeasuresMemory) {
      EXPECT_LT(residentKb() - before, 4096) << "kB grown while it played";
    }
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
