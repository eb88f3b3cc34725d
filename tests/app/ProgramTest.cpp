// The real program on a private X display with a window manager, driven with xdotool.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/BuildPaths.h"
#include "support/WaitUntil.h"
#include "support/XSession.h"

namespace {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x.ok()) << "Xvfb could not be started";
    ASSERT_TRUE(x.StartPlayer({(BinDir() / "orbelle-player").string()}, BinDir().string(), &pid, &window));
  }
  void TearDown() override {
    if (pid > 0 && XSession::WaitExit(pid, 0) < 0) XSession::Kill(pid);
  }
  void Key(const std::string& keys) { x.Run({"xdotool", "key", "--window", window, keys}); }
  // Waits until the window's size becomes the given one (the program switches asynchronously).
  ::testing::AssertionResult WaitForSize(int width, int height) {
    int w = 0, h = 0;
    if (WaitUntil([&] { return x.WindowSize(window, &w, &h) && w == width && h == height; }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "window is " << w << "x" << h;
  }
  // Waits until the screen has the given size ("WxH"): fullscreen switches change the video mode.
  ::testing::AssertionResult WaitForScreen(const std::string& size) {
    std::string screen;
    if (WaitUntil([&] {
          screen = x.Run({"xdotool", "getdisplaygeometry"});
          std::replace(screen.begin(), screen.end(), ' ', 'x');
          return screen == size;
        }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "screen is " << screen;
  }

  XSession x{true};
  pid_t pid = -1;
  std::string window;
};

}  // namespace

TEST_F(ProgramTest, ShowsA640x480PictureAndEscQuitsWithZero) {
  int w = 0, h = 0;
  ASSERT_TRUE(x.WindowSize(window, &w, &h));
  EXPECT_EQ(640, w);
  EXPECT_EQ(480, h);
  // Once frames are presented, look at the client area.
  const std::string shot = ::testing::TempDir() + "/orbelle_frame.png";
  bool taken = false, read = false;
  double minimum = 0, mean = 0;
  WaitUntil([&] {
    taken = x.Screenshot(window, shot);
    read = taken && XSession::GreyStats(shot, &minimum, &mean);
    return read && minimum < 0.01 && mean > 0.0;
  });
  ASSERT_TRUE(taken);
  ASSERT_TRUE(read);
  // The player masks everything but its lens black; the lens and the controls show something.
  EXPECT_LT(minimum, 0.01);
  EXPECT_GT(mean, 0.0);

  x.Run({"xdotool", "windowactivate", "--sync", window});
  Key("Escape");
  EXPECT_EQ(0, XSession::WaitExit(pid, 10000));
}

TEST_F(ProgramTest, AltXQuitsWithZeroAndASecondEscapeIsHarmless) {
  x.Run({"xdotool", "windowactivate", "--sync", window});
  Key("alt+x");
  Key("Escape");
  EXPECT_EQ(0, XSession::WaitExit(pid, 10000));
}

TEST_F(ProgramTest, F2GoesFullscreenAt640x480AndF2AgainReturnsToTheWindow) {
  x.Run({"xdotool", "windowactivate", "--sync", window});
  Key("F2");
  EXPECT_TRUE(WaitForScreen("640x480"));
  EXPECT_TRUE(WaitForSize(640, 480));
  Key("F2");
  EXPECT_TRUE(WaitForScreen("1024x768"));
  EXPECT_TRUE(WaitForSize(640, 480));
  // Back in a window, it has its frame again (the window manager decorates it).
  std::string extents;
  WaitUntil([&] {
    extents = x.Run({"xprop", "-id", window, "_NET_FRAME_EXTENTS"});
    return extents.find("= 0, 0, 0, 0") == std::string::npos && extents.find('=') != std::string::npos;
  });
  EXPECT_EQ(std::string::npos, extents.find("= 0, 0, 0, 0")) << extents;
  EXPECT_NE(std::string::npos, extents.find('=')) << extents;
  Key("Escape");
  EXPECT_EQ(0, XSession::WaitExit(pid, 10000));
}

TEST_F(ProgramTest, AltEnterTogglesFullscreenAtTheDesktopResolution) {
  x.Run({"xdotool", "windowactivate", "--sync", window});
  Key("alt+Return");
  EXPECT_TRUE(WaitForSize(1024, 768));
  Key("alt+Return");
  EXPECT_TRUE(WaitForSize(640, 480));
  Key("Escape");
  EXPECT_EQ(0, XSession::WaitExit(pid, 10000));
}

TEST(ProgramWithoutDisplay, SaysSoAndExitsNonZero) {
  for (const char* display : {"", ":987"}) {
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(fds[1], 2);
      close(fds[0]);
      unsetenv("WAYLAND_DISPLAY");
      unsetenv("SDL_VIDEODRIVER");
      if (*display)
        setenv("DISPLAY", display, 1);
      else
        unsetenv("DISPLAY");
      const std::string program = (BinDir() / "orbelle-player").string();
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string err;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) err.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    EXPECT_EQ(1, XSession::WaitExit(pid, 10000)) << "DISPLAY=" << display;
    EXPECT_NE(std::string::npos, err.find("orbelle-player:")) << err;
    EXPECT_NE(std::string::npos, err.find("display")) << err;
  }
}
