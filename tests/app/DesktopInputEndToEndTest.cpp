// The whole player on a private X display with a window manager, as a desktop user meets it:
// taps on the buttons, the pointer after fullscreen, the click that brings the window to the
// front, and the window while the file chooser is up.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/BuildPaths.h"
#include "support/ScreenImage.h"
#include "support/WaitUntil.h"
#include "support/XSession.h"

namespace {

// The control strip's lock text and the open button, in client pixels.
constexpr int kLockText[4] = {20, 450, 140, 20};
constexpr int kOpenX = 397, kOpenY = 459;

class DesktopInputEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x.ok()) << "Xvfb could not be started";
    ASSERT_TRUE(x.StartPlayer({(BinDir() / "orbelle-player").string()}, BinDir().string(), &pid, &window));
    x.Run({"xdotool", "windowactivate", "--sync", window});
    Move(320, 240);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // a few dozen frames
  }
  void TearDown() override {
    if (pid > 0 && XSession::WaitExit(pid, 0) < 0) XSession::Kill(pid);
    for (pid_t other : others)
      if (XSession::WaitExit(other, 0) < 0) XSession::Kill(other);
  }

  void Move(int cx, int cy) {
    x.Run({"xdotool", "mousemove", "--window", window, std::to_string(cx), std::to_string(cy)});
  }
  void Key(const std::string& keys) { x.Run({"xdotool", "key", "--window", window, keys}); }
  std::vector<Rgb> LockText() {
    return WindowPixels(x, window, kLockText[0], kLockText[1], kLockText[2], kLockText[3]);
  }
  bool Locked(const std::vector<Rgb>& unlocked) { return MeanDifference(LockText(), unlocked) > 1.0; }
  // The lock text once the window shows it steadily (the first frames may still be coming).
  std::vector<Rgb> SteadyLockText() {
    std::vector<Rgb> last = LockText(), now;
    EXPECT_TRUE(WaitUntil([&] {
      now = LockText();
      const bool steady = Brightest(now) > 0 && MeanDifference(now, last) == 0.0;
      last = now;
      return steady;
    })) << "the lock text never settled";
    return now;
  }
  std::vector<std::string> Zenities() const {
    std::istringstream lines(x.Run({"xdotool", "search", "--onlyvisible", "--class", "zenity"}));
    std::vector<std::string> ids;
    for (std::string id; std::getline(lines, id);)
      if (!id.empty()) ids.push_back(id);
    return ids;
  }
  std::string ActiveWindow() const { return x.Run({"xdotool", "getactivewindow"}); }

  XSession x{true};
  pid_t pid = -1;
  std::vector<pid_t> others;
  std::string window;
};

TEST_F(DesktopInputEndToEndTest, TapsToggleTheLockAndOpenTheChooserAndTheWindowLivesWhileItIsUp) {
  // Press and release sent together, as a touchpad tap arrives.
  const std::vector<Rgb> unlocked = SteadyLockText();
  x.Run({"xdotool", "click", "3"});
  EXPECT_TRUE(WaitUntil([&] { return Locked(unlocked); })) << "a right tap did not lock the camera";
  x.Run({"xdotool", "click", "3"});
  EXPECT_TRUE(WaitUntil([&] { return !Locked(unlocked); }))
      << "a second right tap did not unlock it (" << MeanDifference(LockText(), unlocked) << ")";

  Move(kOpenX, kOpenY);
  // Hovered: the open button's caption box (grey, from x 379) shows.
  WaitUntil([&] { return std::abs(0x60 * 3 - WindowPixels(x, window, 379, 441, 1, 1)[0].Sum()) <= 12; });
  const std::vector<Rgb> before = WindowPixels(x, window, 0, 0, 640, 480);
  x.Run({"xdotool", "click", "1"});
  ASSERT_TRUE(WaitUntil([&] { return !Zenities().empty(); })) << "a left tap on the open button opened no chooser";
  const std::string chooser = Zenities().front();

  // The chooser covers the viewer, then moves off it: the viewer paints its last frame again.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  x.Run({"xdotool", "windowmove", "--sync", chooser, "0", "0"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  x.Run({"xdotool", "windowmove", "--sync", chooser, "1000", "740"});
  std::vector<Rgb> during;
  EXPECT_TRUE(WaitUntil([&] {
    during = WindowPixels(x, window, 0, 0, 640, 480);
    return MeanDifference(during, before) < 3.0;
  })) << "the viewer does not show its last frame while the chooser is up (mean difference "
      << MeanDifference(during, before) << ")";

  // Asked to end while the chooser is up: the chooser goes and the program ends normally.
  ASSERT_EQ(0, kill(pid, SIGTERM));
  EXPECT_EQ(0, XSession::WaitExit(pid, 20000)) << "SIGTERM did not end the program (20 s) with code 0";
  EXPECT_TRUE(WaitUntil([&] { return Zenities().empty(); })) << "the chooser outlived the program";
}

TEST_F(DesktopInputEndToEndTest, ThePointerComesBackAfterLeavingFullscreen) {
  const struct {
    const char* key;
    std::function<bool()> fullscreen, windowed;
  } switches[] = {
      // From the start settings Alt+Enter goes fullscreen at the desktop's resolution; F2 then
      // at 640 x 480 on a new device.
      {"alt+Return",
       [&] {
         int w = 0, h = 0;
         return x.WindowSize(window, &w, &h) && w == 1024 && h == 768;
       },
       [&] {
         int w = 0, h = 0;
         return x.WindowSize(window, &w, &h) && w == 640 && h == 480;
       }},
      {"F2",
       [&] {
         return x.Run({"xdotool", "getdisplaygeometry"}) == "640 480";
       },
       [&] {
         return x.Run({"xdotool", "getdisplaygeometry"}) == "1024 768";
       }},
  };
  ASSERT_TRUE(WaitUntil([&] { return x.CursorPixels() > 0; })) << "no pointer over the window at start";
  for (const auto& s : switches) {
    SCOPED_TRACE(s.key);
    Key(s.key);
    ASSERT_TRUE(WaitUntil(s.fullscreen)) << "no fullscreen";
    Move(200, 200);
    Move(300, 300);
    EXPECT_TRUE(WaitUntil([&] { return x.CursorPixels() == 0; })) << "the pointer shows in fullscreen";
    Key(s.key);
    ASSERT_TRUE(WaitUntil(s.windowed)) << "not back in a window";
    Move(320, 240);
    Move(330, 250);
    EXPECT_TRUE(WaitUntil([&] { return x.CursorPixels() > 0; })) << "the pointer stays invisible over the window";
  }
  Key("Escape");
  EXPECT_EQ(0, XSession::WaitExit(pid, 10000));
}

TEST_F(DesktopInputEndToEndTest, TheClickThatBringsTheWindowToTheFrontFiresNothing) {
  const std::vector<Rgb> unlocked = SteadyLockText();
  // Another program takes the focus.
  others.push_back(x.Spawn({"zenity", "--info", "--title=Other", "--text=other"}));
  ASSERT_TRUE(WaitUntil([&] { return Zenities().size() == 1; })) << "no other window";
  const std::string other = Zenities().front();
  x.Run({"xdotool", "windowactivate", "--sync", other});
  x.Run({"xdotool", "windowmove", "--sync", other, "900", "700"});
  ASSERT_TRUE(WaitUntil([&] { return ActiveWindow() != window; }));

  // A right click into the picture brings the viewer to the front; it must not lock the camera.
  Move(320, 240);
  x.Run({"xdotool", "mousedown", "3"});
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  x.Run({"xdotool", "mouseup", "3"});
  ASSERT_TRUE(WaitUntil([&] { return ActiveWindow() == window; })) << "the click did not activate the viewer";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(Locked(unlocked)) << "the focusing click locked the camera";
  // The next click is an ordinary one and locks it (were the first one counted, this would unlock).
  x.Run({"xdotool", "click", "3"});
  EXPECT_TRUE(WaitUntil([&] { return Locked(unlocked); })) << "the click after the focusing one did not lock";

  // The same with the open button under the pointer: the focusing click opens no chooser.
  x.Run({"xdotool", "windowactivate", "--sync", other});
  ASSERT_TRUE(WaitUntil([&] { return ActiveWindow() != window; }));
  Move(kOpenX, kOpenY);
  x.Run({"xdotool", "mousedown", "1"});
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  x.Run({"xdotool", "mouseup", "1"});
  ASSERT_TRUE(WaitUntil([&] { return ActiveWindow() == window; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_EQ(Zenities().size(), 1u) << "the focusing click opened the chooser";

  Key("Escape");
  EXPECT_EQ(0, XSession::WaitExit(pid, 10000));
}

}  // namespace
