// The whole player on a private X display with a window manager, driven with xdotool as a
// person would and checked by screenshots: start-up, wheel zoom, camera lock, a tooltip, and a
// file opened through the desktop's file chooser. Everything finer is tested below the program.
// Each runs at scale 1 and on a screen the desktop scales by 2 (Xft.dpi 192), where the window is
// twice as large: the tests' positions and pictures are in the program's pixels, doubled on the
// screen for the pointer and halved back from the screenshots.
// (A drop carries no position the program uses: it opens wherever it lands on the window.)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/BuildPaths.h"
#include "support/ScreenImage.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "support/XSession.h"

namespace {

class PlayerEndToEndTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x.ok()) << "Xvfb could not be started";
    if (Scale() > 1) {
      const std::string resources = (folder / "resources").string();
      std::ofstream(resources) << "Xft.dpi: " << 96 * Scale() << "\n";
      int status = -1;
      x.Run({"xrdb", "-merge", resources}, &status);
      ASSERT_EQ(0, status) << "xrdb failed";
    }
    const auto fixtures = SourceDir() / "tests" / "media" / "fixtures";
    std::filesystem::copy_file(fixtures / "pattern.bmp", folder / "a.bmp");
    std::filesystem::copy_file(fixtures / "quadrants.jpg", folder / "b.jpg");
    ASSERT_TRUE(x.StartPlayer({(BinDir() / "orbelle-player").string()}, BinDir().string(), &pid, &window));
    int width = 0, height = 0;
    EXPECT_TRUE(x.WindowSize(window, &width, &height));
    EXPECT_EQ(640 * Scale(), width);
    EXPECT_EQ(480 * Scale(), height);
    x.Run({"xdotool", "windowactivate", "--sync", window});
    // The program has started its scene once it has put the pointer at the client centre.
    WaitUntil([&] {
      int px = 0, py = 0;
      return PointerInClient(&px, &py) && px == 320 && py == 240;
    });
  }
  void TearDown() override {
    if (pid > 0 && XSession::WaitExit(pid, 0) < 0) XSession::Kill(pid);
  }

  int Scale() const { return GetParam(); }
  // Enough frames for the program to take in what just happened (more than 21 at 60 a second).
  static void Settle(int ms = 600) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  std::string Title() const { return x.Run({"xdotool", "getwindowname", window}); }
  // The pointer's place relative to the client area's corner; false when it cannot be read.
  bool PointerInClient(int* px, int* py) const {
    const std::string mouse = x.Run({"xdotool", "getmouselocation", "--shell"});
    const std::string geometry = x.Run({"xwininfo", "-id", window});  // the client's absolute corner
    auto value = [](const std::string& text, const char* key) {
      const auto at = text.find(key);
      return at == std::string::npos ? -100000 : std::atoi(text.c_str() + at + std::strlen(key));
    };
    *px = (value(mouse, "X=") - value(geometry, "Absolute upper-left X:")) / Scale();
    *py = (value(mouse, "Y=") - value(geometry, "Absolute upper-left Y:")) / Scale();
    return mouse.find("X=") != std::string::npos && geometry.find("Absolute upper-left X:") != std::string::npos;
  }
  bool WaitForTitle(const std::string& title) const {
    return WaitUntil([&] { return Title() == title; });
  }
  void Move(int cx, int cy) {
    x.Run({"xdotool", "mousemove", "--window", window, std::to_string(cx * Scale()), std::to_string(cy * Scale())});
  }
  // A press and a release in separate polls, as a person's click arrives.
  void Click(int button) {
    x.Run({"xdotool", "mousedown", std::to_string(button)});
    Settle(150);
    x.Run({"xdotool", "mouseup", std::to_string(button)});
    Settle(150);
  }
  // The client-area pixels of a rectangle of the window (row by row), from a fresh screenshot
  // brought back to one pixel per program pixel.
  std::vector<Rgb> Shot(int left, int top, int width, int height) {
    const std::string png = ::testing::TempDir() + "/orbelle_e2e.png";
    EXPECT_TRUE(x.Screenshot(window, png));
    if (Scale() > 1) x.Run({"mogrify", "-sample", std::to_string(100.0 / Scale()) + "%", png});
    return Pixels(png, left, top, width, height);
  }
  std::vector<Rgb> Pixels(const std::string& image, int left, int top, int width, int height) const {
    return ImagePixels(x, image, left, top, width, height);
  }

  XSession x{true, GetParam() > 1 ? "1600x1200x24" : "1024x768x24"};
  TempDir temp{"orbelle_e2e"};
  const std::filesystem::path& folder = temp.path();
  pid_t pid = -1;
  std::string window;
};

TEST_P(PlayerEndToEndTest, StartZoomLockTooltipAndOpeningAFileThroughTheChooser) {
  // Start-up: the welcome picture, centred at 100 %, under the lens at the client centre.
  EXPECT_TRUE(WaitForTitle("ようこそ.bmp - Orbelle-Player")) << Title();
  int px = 0, py = 0;
  PointerInClient(&px, &py);
  EXPECT_EQ(320, px);
  EXPECT_EQ(240, py);

  const std::string welcome = (BinDir() / "image" / "ようこそ.bmp").string();
  const std::vector<Rgb> picture = Pixels(welcome, 290, 210, 60, 60);
  std::vector<Rgb> lens;
  EXPECT_TRUE(WaitUntil([&] {
    lens = Shot(290, 210, 60, 60);
    return MeanDifference(lens, picture) < 20.0;
  })) << "the lens does not show the welcome picture in place";
  const std::vector<Rgb> outside = Shot(20, 20, 100, 100);
  EXPECT_EQ(0, Brightest(outside)) << "the picture shows outside the lens";
  // Play (left 418) is disabled and drawn dark; open (left 381) is drawn normally.
  const int play = Brightest(Shot(418, 443, 32, 32));
  const int open = Brightest(Shot(381, 443, 32, 32));
  EXPECT_LT(play * 3, open);

  // One wheel notch up: the lens now shows the picture at 107 % around the centre.
  Move(320, 240);
  const std::string zoomed = ::testing::TempDir() + "/orbelle_e2e_zoomed.png";
  x.Run({"convert", welcome, "-filter", "point", "-resize", "107%", "-gravity", "center", "-crop", "640x480+0+0",
         "+repage", zoomed});
  const std::vector<Rgb> zoomedPicture = Pixels(zoomed, 290, 210, 60, 60);
  x.Run({"xdotool", "click", "4"});
  EXPECT_TRUE(WaitUntil([&] {
    lens = Shot(290, 210, 60, 60);
    return MeanDifference(lens, zoomedPicture) < MeanDifference(lens, picture);
  })) << "the lens does not show the picture at 107 %";

  // Right press locks: the text changes and the lens stays while the pointer moves away.
  const std::vector<Rgb> unlockedText = Shot(20, 450, 140, 20);
  Click(3);
  EXPECT_TRUE(WaitUntil([&] { return MeanDifference(Shot(20, 450, 140, 20), unlockedText) > 1.0; }))
      << "the lock text did not change";
  Move(100, 100);
  Settle();
  EXPECT_GT(Brightest(Shot(300, 220, 40, 40)), 0) << "the lens left its place";
  EXPECT_EQ(0, Brightest(Shot(80, 80, 40, 40)));

  // Hovering the open button shows its caption in a grey box from x 379 (2 pixels left of it).
  EXPECT_EQ(0, Brightest(Shot(379, 441, 2, 2)));
  Move(397, 459);
  int cornerSum = 0;
  EXPECT_TRUE(WaitUntil([&] {
    cornerSum = Shot(379, 441, 2, 2)[0].Sum();
    return std::abs(0x60 * 3 - cornerSum) <= 12;
  })) << "no grey caption box; its corner sums to "
      << cornerSum;
  EXPECT_GT(Brightest(Shot(381, 443, 190, 16)), 600) << "no caption text in the box";

  // The open button: the chooser comes up; a file typed into it is opened and its folder listed.
  Click(1);
  std::string chooser;
  WaitUntil([&] {
    chooser = x.Run({"xdotool", "search", "--onlyvisible", "--class", "zenity"});
    return !chooser.empty();
  });
  ASSERT_FALSE(chooser.empty()) << "no file chooser";
  chooser = chooser.substr(0, chooser.find('\n'));
  // Keys the chooser was not ready for are lost on a busy machine: the steps are repeated while
  // the chooser stays up.
  bool opened = false;
  for (int attempt = 0; attempt < 4 && !opened; ++attempt) {
    if (attempt > 0 && x.Run({"xdotool", "search", "--onlyvisible", "--class", "zenity"}).empty()) break;
    Settle(1000);
    x.Run({"xdotool", "windowactivate", "--sync", chooser});
    Settle(300);
    x.Run({"xdotool", "key", "ctrl+l"});
    Settle(300);
    x.Run({"xdotool", "key", "ctrl+a"});
    x.Run({"xdotool", "type", "--delay", "20", (folder / "b.jpg").string()});
    Settle(500);
    x.Run({"xdotool", "key", "Return"});
    opened = WaitUntil([&] { return Title() == "b.jpg - Orbelle-Player"; }, 5000);
  }
  ASSERT_TRUE(opened || WaitForTitle("b.jpg - Orbelle-Player")) << Title();
  x.Run({"xdotool", "windowactivate", "--sync", window});
  // Two files in the folder: previous and next (lefts 529 and 566) are drawn lit now.
  EXPECT_TRUE(WaitUntil([&] { return Brightest(Shot(566, 443, 32, 32)) > play * 3; })) << "next is not lit";
  Move(582, 459);
  Settle(200);
  Click(1);
  EXPECT_TRUE(WaitForTitle("a.bmp - Orbelle-Player")) << Title();

  x.Run({"xdotool", "key", "--window", window, "Escape"});
  EXPECT_EQ(0, XSession::WaitExit(pid, 10000));
}

TEST_P(PlayerEndToEndTest, TheMoireShowsThroughTheLensBesideAZoomedOutPicture) {
  // Zoomed out to the smallest size, the picture covers only the middle of the picture area.
  Move(320, 240);
  for (int i = 0; i < 14; ++i) x.Run({"xdotool", "click", "--window", window, "5"});
  Move(80, 80);
  // Inside the lens (a 128 x 128 square about the pointer), away from its rim: the background,
  // once the zoom animation has run to its end and the lens has followed the pointer.
  std::vector<Rgb> first;
  int lit = 0, darkest = 3 * 255, brightest = 0;
  EXPECT_TRUE(WaitUntil([&] {
    first = Shot(40, 40, 80, 80);
    lit = 0, darkest = 3 * 255, brightest = 0;
    for (const Rgb& p : first) {
      lit += p.Sum() > 60;
      darkest = std::min(darkest, p.Sum());
      brightest = std::max(brightest, p.Sum());
    }
    return lit > static_cast<int>(first.size()) / 2 && brightest - darkest > 60;
  })) << "the lens shows no background: "
      << lit << " of " << first.size() << " pixels lit, contrast " << brightest - darkest;
  double moved = 0;
  EXPECT_TRUE(WaitUntil([&] {
    moved = MeanDifference(first, Shot(40, 40, 80, 80));
    return moved > 2.0;
  })) << "the background does not move (mean difference "
      << moved << ")";
  // Outside the lens the picture area stays black.
  const std::vector<Rgb> outside = Shot(400, 40, 40, 40);
  EXPECT_LT(Brightest(outside), 30);
}

TEST_P(PlayerEndToEndTest, AFileDroppedOnTheWindowOpens) {
  EXPECT_TRUE(WaitForTitle("ようこそ.bmp - Orbelle-Player")) << Title();
  int status = -1;
  x.Run({ORBELLE_XDND_DROP, window, "file://" + (folder / "b.jpg").string()}, &status);
  ASSERT_EQ(0, status) << "the window did not take the drop";
  EXPECT_TRUE(WaitForTitle("b.jpg - Orbelle-Player")) << Title();
  // The 160 x 120 picture is centred: the lens's middle shows its pixels from (50, 30).
  const std::vector<Rgb> picture = Pixels((folder / "b.jpg").string(), 50, 30, 60, 60);
  EXPECT_TRUE(WaitUntil([&] { return MeanDifference(Shot(290, 210, 60, 60), picture) < 20.0; }))
      << "the lens does not show the dropped picture";
}

INSTANTIATE_TEST_SUITE_P(Scales, PlayerEndToEndTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "Scale" + std::to_string(info.param);
                         });

// The same start, once at scale 1 and once with --scale=2: the second window is the first one's
// picture with every pixel made a 2 x 2 square, exactly (no blur, nothing shifted).
TEST(PlayerScaledScreen, AtScaleTwoEveryPixelOfTheScaleOneFrameIsASquareOfFour) {
  XSession x(true, "1600x1200x24");
  ASSERT_TRUE(x.ok()) << "Xvfb could not be started";
  const TempDir temp("orbelle_scaled");
  const std::vector<Rgb> welcome = ImagePixels(x, (BinDir() / "image" / "ようこそ.bmp").string(), 290, 210, 60, 60);
  std::string shots[2];
  for (int scale : {1, 2}) {
    SCOPED_TRACE(testing::Message() << "scale " << scale);
    std::vector<std::string> argv = {(BinDir() / "orbelle-player").string()};
    if (scale == 2) argv.push_back("--scale=2");
    pid_t pid = -1;
    std::string window;
    ASSERT_TRUE(x.StartPlayer(argv, BinDir().string(), &pid, &window));
    int width = 0, height = 0;
    EXPECT_TRUE(x.WindowSize(window, &width, &height));
    EXPECT_EQ(640 * scale, width);
    EXPECT_EQ(480 * scale, height);
    // The welcome picture under the lens at the centre (not the loading text before it), once two
    // screenshots in a row agree.
    shots[scale - 1] = (temp.path() / ("scale" + std::to_string(scale) + ".png")).string();
    const std::string previous = (temp.path() / "previous.png").string();
    const std::string reduced = (temp.path() / "reduced.png").string();
    const bool steady = WaitUntil([&] {
      std::filesystem::remove(previous);
      if (std::filesystem::exists(shots[scale - 1])) std::filesystem::rename(shots[scale - 1], previous);
      if (!x.Screenshot(window, shots[scale - 1]) || !std::filesystem::exists(previous)) return false;
      x.Run({"convert", shots[scale - 1], "-sample", std::to_string(100 / scale) + "%", reduced});
      return MeanDifference(ImagePixels(x, reduced, 290, 210, 60, 60), welcome) < 20.0 &&
             x.Run({"sh", "-c", "compare -metric AE \"$0\" \"$1\" null: 2>&1", previous, shots[scale - 1]}) == "0";
    });
    EXPECT_TRUE(steady) << "the window never showed a steady welcome frame";
    x.Run({"xdotool", "key", "--window", window, "Escape"});
    EXPECT_EQ(0, XSession::WaitExit(pid, 10000));
    if (XSession::WaitExit(pid, 0) < 0) XSession::Kill(pid);
  }
  const std::string enlarged = (temp.path() / "enlarged.png").string();
  x.Run({"convert", shots[0], "-sample", "200%", enlarged});
  const std::string differing = x.Run({"sh", "-c", "compare -metric AE \"$0\" \"$1\" null: 2>&1", enlarged, shots[1]});
  EXPECT_EQ("0", differing) << "pixels of the scale-2 window that are not the scale-1 window's pixel enlarged";
}

}  // namespace
