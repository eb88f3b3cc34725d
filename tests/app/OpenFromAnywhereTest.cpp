// The real program opened from outside: a file on the command line, a file dropped on its window
// through the X drag-and-drop protocol, refusals of bad command lines, and an installed copy
// started from another folder. Each runs on a private X display with a window manager.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/BuildPaths.h"
#include "support/ScreenImage.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "support/XSession.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kWelcomeTitle = "ようこそ.bmp - Orbelle-Player";
constexpr const char* kMediaErrorCaption = "DirectShow CaptureTex9 Sample";

// A folder "a b" holding two pictures of 160 x 120: 日本.jpg (four coloured quadrants) and
// b.bmp (a pattern).
class OpenFromAnywhereTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x.ok()) << "Xvfb could not be started";
    folder = root / "a b";
    fs::create_directories(folder);
    const fs::path fixtures = SourceDir() / "tests" / "media" / "fixtures";
    fs::copy_file(fixtures / "quadrants.jpg", folder / "日本.jpg");
    fs::copy_file(fixtures / "pattern.bmp", folder / "b.bmp");
  }
  void TearDown() override {
    if (pid > 0 && XSession::WaitExit(pid, 0) < 0) XSession::Kill(pid);
  }

  void Start(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& program = BinDir()) {
    std::vector<std::string> argv = {(program / "orbelle-player").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_TRUE(x.StartPlayer(argv, cwd.string(), &pid, &window));
  }
  std::string Title() const { return x.Run({"xdotool", "getwindowname", window}); }
  ::testing::AssertionResult WaitForTitle(const std::string& title) const {
    std::string now;
    if (WaitUntil([&] { return (now = Title()) == title; })) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the title is \"" << now << "\", not \"" << title << "\"";
  }
  // Mean difference between the middle of the lens (at the client centre after start) and the
  // middle of a 160 x 120 picture shown there at 100 %, waiting for the frames to catch up.
  double LensDifferenceFrom(const fs::path& picture) const {
    const std::vector<Rgb> expected = ImagePixels(x, picture.string(), 50, 30, 60, 60);
    double difference = 1e9;
    WaitUntil([&] {
      difference = MeanDifference(WindowPixels(x, window, 290, 210, 60, 60), expected);
      return difference < 20.0;
    });
    return difference;
  }
  // A window by its exact title, from the whole window tree. SDL's message box names itself with a
  // WM_NAME of type "UTF-8", which xdotool's search does not read.
  std::string FindTitledWindow(const std::string& title, int timeoutMs) const {
    const std::string quoted = " \"" + title + "\": ";
    std::string found;
    WaitUntil(
        [&] {
          std::istringstream tree(x.Run({"xwininfo", "-root", "-tree"}));
          std::string line;
          while (std::getline(tree, line)) {
            const std::size_t at = line.find(quoted);
            if (at != std::string::npos) {
              found = line.substr(line.find("0x"), at - line.find("0x"));
              return true;
            }
          }
          return false;
        },
        timeoutMs, 100);
    return found;
  }
  void Click(int cx, int cy) {
    x.Run({"xdotool", "mousemove", "--window", window, std::to_string(cx), std::to_string(cy)});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    x.Run({"xdotool", "mousedown", "1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    x.Run({"xdotool", "mouseup", "1"});
  }
  void Quit() {
    x.Run({"xdotool", "key", "--window", window, "Escape"});
    EXPECT_EQ(0, XSession::WaitExit(pid, 10000));
  }

  XSession x{true};
  TempDir temp{"orbelle_open_anywhere"};
  const fs::path& root = temp.path();
  fs::path folder;
  pid_t pid = -1;
  std::string window;
};

}  // namespace

TEST_F(OpenFromAnywhereTest, AFileUriOnTheCommandLineOpensAsIfPicked) {
  // Percent-encoded as file managers pass it, started from another folder than the program's.
  Start({"file://" + (root / "a%20b" / "%E6%97%A5%E6%9C%AC.jpg").string()}, "/");
  ASSERT_TRUE(WaitForTitle("日本.jpg - Orbelle-Player"));
  EXPECT_LT(LensDifferenceFrom(folder / "日本.jpg"), 20.0) << "the lens does not show the picture";

  // Its folder is listed: next (left 566) steps to the other picture there.
  x.Run({"xdotool", "windowactivate", "--sync", window});
  Click(582, 459);
  EXPECT_TRUE(WaitForTitle("b.bmp - Orbelle-Player"));
  Quit();
}

TEST_F(OpenFromAnywhereTest, AFileThatCannotBeOpenedGivesTheErrorBoxThenTheWelcomePicture) {
  // A FIFO must not block the start (a reader would wait for a writer for ever); a missing file
  // is the other common case.
  ASSERT_EQ(0, ::mkfifo((folder / "pipe.avi").c_str(), 0600));
  for (const std::string name : {"pipe.avi", "missing.jpg"}) {
    SCOPED_TRACE(name);
    Start({"a b/" + name}, root);
    const std::string box = FindTitledWindow(kMediaErrorCaption, 15000);
    ASSERT_FALSE(box.empty()) << "no error box";
    EXPECT_EQ(name + " - Orbelle-Player", Title());
    x.Run({"xdotool", "windowactivate", "--sync", box});
    x.Run({"xdotool", "key", "Return"});
    EXPECT_TRUE(WaitForTitle(kWelcomeTitle));
    const std::vector<Rgb> welcome = ImagePixels(x, (BinDir() / "image" / "ようこそ.bmp").string(), 290, 210, 60, 60);
    double difference = 1e9;
    WaitUntil([&] {
      difference = MeanDifference(WindowPixels(x, window, 290, 210, 60, 60), welcome);
      return difference < 20.0;
    });
    EXPECT_LT(difference, 20.0) << "the lens does not show the welcome picture";
    Quit();
  }
}

TEST_F(OpenFromAnywhereTest, AFileDroppedOnTheWindowOpensAndOfSeveralTheFirst) {
  Start({}, BinDir());
  ASSERT_TRUE(WaitForTitle(kWelcomeTitle));
  int status = -1;
  const std::string first = "file://" + (root / "a%20b" / "b.bmp").string();
  const std::string second = "file://" + (root / "a%20b" / "%E6%97%A5%E6%9C%AC.jpg").string();
  x.Run({ORBELLE_XDND_DROP, window, first, second}, &status);
  ASSERT_EQ(0, status) << "the window did not take the drop";
  ASSERT_TRUE(WaitForTitle("b.bmp - Orbelle-Player"));
  EXPECT_LT(LensDifferenceFrom(folder / "b.bmp"), 20.0) << "the lens does not show the dropped picture";
  Quit();
}

TEST(OpenFromAnywhereCommandLine, OptionsAndUsageErrorsAnswerWithoutADisplay) {
  // Run without DISPLAY: answers to options never need a window.
  const std::string program = (BinDir() / "orbelle-player").string();
  auto run = [&](const std::string& args, int* status) {
    const std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER '" + program + "' " + args + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    std::size_t n = 0;
    while (pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int st = pipe ? ::pclose(pipe) : -1;
    *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
  };
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += " a" + std::to_string(i) + ".jpg";
  struct Case {
    std::string args;
    int status;
    std::string says;
  } cases[] = {
      {"--version", 0, "orbelle-player 0."},
      {"--help", 0, "Usage: orbelle-player [OPTION]... [FILE]"},
      {"--bogus", 2, "unknown option '--bogus'"},
      {twenty, 2, "(20 given)"},
      {"http://example.org/a.jpg", 2, "only files on this computer"},
      {"/tmp/" + std::string(600, 'n'), 2, "at most 511"},
      {"/tmp/clip.avi", 1, "no display"},  // a file passes the command line; then the display check
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.substr(0, 40));
    int status = -1;
    const std::string out = run(c.args, &status);
    EXPECT_EQ(c.status, status) << out;
    EXPECT_NE(std::string::npos, out.find(c.says)) << out;
    if (c.status == 2) {
      EXPECT_NE(std::string::npos, out.find("Try 'orbelle-player --help'")) << out;
    }
  }
}
