// The desktop's side of picking files, with the real chooser (zenity) on a private X display:
// names with upper-case extensions show under every filter that covers their type, and the
// whole player steps through a folder in the order the file manager shows it.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Paths.h"
#include "platform/win32/win32.h"
#include "support/BuildPaths.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "support/XSession.h"

namespace {

std::filesystem::path Fixtures() {
  return SourceDir() / "tests" / "media" / "fixtures";
}

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class DesktopOrderEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(x.ok()) << "Xvfb could not be started"; }
  void TearDown() override {
    if (pid > 0 && XSession::WaitExit(pid, 0) < 0) XSession::Kill(pid);
  }

  // The chooser's window, once it is up and drawn; "" after 30 s without one.
  std::string WaitForChooser() const {
    std::string found;
    if (!WaitUntil(
            [&] {
              return !(found = x.Run({"xdotool", "search", "--onlyvisible", "--class", "zenity"})).empty();
            },
            30000, 100))
      return "";
    Pause(1000);  // the first folder listing
    return found.substr(0, found.find('\n'));
  }
  // Waits until no chooser is on the screen (the previous one may still be closing).
  bool NoChooser() const {
    return WaitUntil(
        [&] {
          return x.Run({"xdotool", "search", "--onlyvisible", "--class", "zenity"}).empty();
        },
        30000, 100);
  }
  // Ends the choosers this test process started (by their ids), so that a dialog that was not
  // answered returns.
  void EndOwnChoosers() const {
    std::istringstream ids(x.Run({"pgrep", "-P", std::to_string(::getpid()), "-x", "zenity"}));
    for (pid_t id = 0; ids >> id;) ::kill(id, SIGTERM);
  }
  // Picks the first (Home) or last (End) name the chooser lists, from the keyboard as a person
  // would; typing a name would take it whether the filter shows it or not.
  void PickListed(const std::string& chooser, const char* key) const {
    x.Run({"xdotool", "windowactivate", "--sync", chooser});
    Pause(300);
    x.Run({"xdotool", "key", key});
    Pause(300);
    x.Run({"xdotool", "key", "Return"});
  }

  XSession x{true};
  TempDir temp{"orbelle_order_e2e"};
  const std::filesystem::path& folder = temp.path();
  pid_t pid = -1;
};

const WCHAR kFilter[] =
    u"読めるファイル全部\0*.avi;*.wmv;*.mpg;*.bmp;*.jpg;*.gif;\0動画\0*.avi;*.wmv;*.mpg;\0絵\0*.bmp;*.jpg;*.gif;\0";

TEST_F(DesktopOrderEndToEndTest, TheChooserShowsUpperCaseExtensionsUnderEveryFilterOfTheirType) {
  // The text files sort before and after the others, by code point (the chooser's order under
  // C.UTF-8) as in any locale: a filter that let them through would list one first or last.
  for (const char* name : {"CLIP.AVI", "PHOTO.JPG", "0.txt", "zz.txt"})
    std::filesystem::copy_file(Fixtures() / "quadrants.jpg", folder / name);
  const char* previousDisplay = std::getenv("DISPLAY");
  const std::string restore = previousDisplay ? previousDisplay : "";
  ::setenv("DISPLAY", x.display().c_str(), 1);

  const struct {
    DWORD filter;
    const char* key;
    const char* picked;
  } cases[] = {
      // All readable files: both, first and last.
      {1, "Home", "CLIP.AVI"},
      {1, "End", "PHOTO.JPG"},
      // Video, last: CLIP.AVI, neither the picture nor a text file after it.
      {2, "End", "CLIP.AVI"},
      // Pictures, first: PHOTO.JPG, neither the video nor a text file before it.
      {3, "Home", "PHOTO.JPG"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "filter " << c.filter << ", " << c.key);
    // The dialog waits on this thread; the keys come from another, which cancels the chooser if
    // the pick does not end the dialog.
    ASSERT_TRUE(NoChooser());
    std::atomic<bool> returned{false};
    std::thread driver([&] {
      const std::string chooser = WaitForChooser();
      if (!chooser.empty()) PickListed(chooser, c.key);
      if (!WaitUntil([&] { return returned.load(); }, 20000, 100)) EndOwnChoosers();
    });
    WCHAR file[512] = {};
    const std::u16string start = Win32FromNativePath(folder.string()) + u"\\";  // opens in the folder
    std::copy(start.begin(), start.end(), file);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = 76;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = c.filter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 512;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    const BOOL ok = GetOpenFileNameW(&ofn);
    returned = true;
    driver.join();
    ASSERT_TRUE(ok) << "the chooser listed nothing to pick";
    EXPECT_EQ(Win32FromNativePath((folder / c.picked).string()), std::u16string(file));
  }
  if (previousDisplay)
    ::setenv("DISPLAY", restore.c_str(), 1);
  else
    ::unsetenv("DISPLAY");
}

TEST_F(DesktopOrderEndToEndTest, NextAndPreviousFollowTheFileManagersOrder) {
  for (const char* name : {"clip10.avi", "clip2.avi", "Clip3.avi", "zz.AVI"})
    std::filesystem::copy_file(Fixtures() / "clip.avi", folder / name);
  std::filesystem::copy_file(Fixtures() / "pattern.bmp", folder / "a1.bmp");
  std::string window;
  ASSERT_TRUE(x.StartPlayer({(BinDir() / "orbelle-player").string()}, BinDir().string(), &pid, &window));
  x.Run({"xdotool", "windowactivate", "--sync", window});
  auto click = [&](int cx, int cy) {
    x.Run({"xdotool", "mousemove", "--window", window, std::to_string(cx), std::to_string(cy)});
    Pause(200);
    x.Run({"xdotool", "mousedown", "1"});
    Pause(150);
    x.Run({"xdotool", "mouseup", "1"});
    Pause(150);
  };
  auto waitForTitle = [&](const std::string& name, int seconds = 30) {
    const std::string title = name + " - Orbelle-Player";
    return WaitUntil([&] { return x.Run({"xdotool", "getwindowname", window}) == title; }, seconds * 1000, 100);
  };

  // The open button, once the scene runs: hovered long enough, its caption box (grey, from
  // x 379) shows.
  x.Run({"xdotool", "mousemove", "--window", window, "397", "459"});
  const std::string shot = ::testing::TempDir() + "/orbelle_order_e2e.png";
  auto grey = [&] {
    if (!x.Screenshot(window, shot)) return false;
    const std::string text = x.Run({"convert", shot, "-crop", "1x1+379+441", "-depth", "8", "txt:-"});
    const std::size_t at = text.find(": (");
    int r = 0, g = 0, b = 0;
    return at != std::string::npos && std::sscanf(text.c_str() + at, ": (%d,%d,%d", &r, &g, &b) == 3 &&
           std::abs(r + g + b - 3 * 0x60) <= 12;
  };
  int polls = 0;
  const bool captioned = WaitUntil(
      [&] {
        // Again now and then: the player puts the pointer at the centre of its window as it
        // starts, which may come after the first move. Moving to where the pointer already is
        // changes nothing.
        if (++polls % 5 == 0) x.Run({"xdotool", "mousemove", "--window", window, "397", "459"});
        return grey();
      },
      60000, 200);
  ASSERT_TRUE(captioned) << "the player does not run its scene";
  // In the chooser, the folder typed into its location bar, then the last name it lists (by
  // code point or in any locale). Keys the chooser was not ready for are lost when the machine
  // is busy, so the steps are repeated while the chooser stays up.
  click(397, 459);
  const std::string chooser = WaitForChooser();
  ASSERT_FALSE(chooser.empty()) << "no file chooser";
  bool picked = false;
  for (int attempt = 0; attempt < 4 && !picked; ++attempt) {
    if (attempt > 0 && x.Run({"xdotool", "search", "--onlyvisible", "--class", "zenity"}).empty()) break;
    x.Run({"xdotool", "windowactivate", "--sync", chooser});
    Pause(300);
    x.Run({"xdotool", "key", "ctrl+l"});
    Pause(500);
    x.Run({"xdotool", "key", "ctrl+a"});
    x.Run({"xdotool", "type", "--delay", "20", folder.string() + "/"});
    Pause(500);
    x.Run({"xdotool", "key", "Return"});
    Pause(1500);
    PickListed(chooser, "End");
    picked = waitForTitle("zz.AVI", 5);
  }
  ASSERT_TRUE(picked || waitForTitle("zz.AVI", 30)) << "the chooser did not offer zz.AVI";
  x.Run({"xdotool", "windowactivate", "--sync", window});
  Pause(600);

  // zz.AVI is the folder list's last entry (extensions count in any case): next wraps to its
  // first, and the steps go in the file manager's order with wrap-around.
  for (const char* name : {"a1.bmp", "clip2.avi", "Clip3.avi", "clip10.avi", "zz.AVI"}) {
    click(582, 459);
    EXPECT_TRUE(waitForTitle(name)) << "next did not open " << name;
  }
  click(545, 459);  // previous
  EXPECT_TRUE(waitForTitle("clip10.avi"));

  x.Run({"xdotool", "key", "--window", window, "Escape"});
  const int code = XSession::WaitExit(pid, 10000);
  if (code >= 0) pid = -1;  // reaped: nothing left to end
  EXPECT_EQ(0, code);
}

}  // namespace
