// The player's keys on the real program, on a private X display with a window manager: each key
// goes in as a real X key event (XTest, through xdotool) and is checked by what its button or
// mouse action shows: the title after stepping through a folder, the lens at each zoom, the lock
// text, the sound button, the time text of a video and the file chooser. No key acts while the
// chooser is up, and Alt+X still ends the program.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/BuildPaths.h"
#include "support/Ffmpeg.h"
#include "support/ScreenImage.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "support/XSession.h"

namespace fs = std::filesystem;

namespace {

// Client-area rectangles (left, top, width, height): the middle of the lens at the client centre,
// the lock text, the time text and the sound button.
struct Area {
  int left, top, width, height;
};
constexpr Area kLens = {290, 210, 60, 60};
constexpr Area kLockText = {20, 450, 140, 20};
constexpr Area kTimeText = {200, 450, 100, 20};
constexpr Area kSoundButton = {603, 443, 32, 32};

std::string TitleOf(const std::string& name) {
  return name + " - Orbelle-Player";
}

// A folder of three files in the order the player steps through them: a.bmp (the welcome
// picture, large enough to tell zoom steps apart in the lens), b.jpg and c.avi (a video longer
// than the test runs). The program starts with a.bmp, as if picked.
class PlayerKeysEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x.ok()) << "Xvfb could not be started";
    const fs::path picture = BinDir() / "image" / "ようこそ.bmp";
    fs::copy_file(picture, folder.path() / "a.bmp");
    fs::copy_file(SourceDir() / "tests" / "media" / "fixtures" / "quadrants.jpg", folder.path() / "b.jpg");
    ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=120", "-c:v", "mpeg4", "-q:v", "5",
                        "-f", "avi", (folder.path() / "c.avi").string()}));
    // The lens's middle with the picture at each zoom the keys reach, about the client centre.
    for (int zoom : {86, 93, 100, 107, 114, 303}) {
      const std::string file = (scratch.path() / ("zoom" + std::to_string(zoom) + ".png")).string();
      x.Run({"convert", picture.string(), "-filter", "point", "-resize", std::to_string(zoom) + "%", "-gravity",
             "center", "-background", "black", "-extent", "640x480", file});
      lensAt[zoom] = ImagePixels(x, file, kLens.left, kLens.top, kLens.width, kLens.height);
    }
    ASSERT_TRUE(x.StartPlayer({(BinDir() / "orbelle-player").string(), (folder.path() / "a.bmp").string()},
                              BinDir().string(), &pid, &window));
    Activate(window);
    x.Run({"xdotool", "mousemove", "--window", window, "320", "240"});
  }
  void TearDown() override {
    if (pid > 0 && XSession::WaitExit(pid, 0) < 0) XSession::Kill(pid);
  }

  std::vector<Rgb> Shot(const Area& a) const { return WindowPixels(x, window, a.left, a.top, a.width, a.height); }
  std::string Title() const { return x.Run({"xdotool", "getwindowname", window}); }
  std::vector<std::string> Choosers() const {
    std::istringstream lines(x.Run({"xdotool", "search", "--onlyvisible", "--class", "zenity"}));
    std::vector<std::string> ids;
    for (std::string id; std::getline(lines, id);)
      if (!id.empty()) ids.push_back(id);
    return ids;
  }
  bool Activate(const std::string& id) const {
    x.Run({"xdotool", "windowactivate", "--sync", id});
    return WaitUntil([&] { return x.Run({"xdotool", "getactivewindow"}) == id; }, 10000);
  }
  // The lens shows the picture nearer to the zoom `to` than to `from`.
  bool Zoomed(int from, int to) const {
    const std::vector<Rgb> lens = Shot(kLens);
    return MeanDifference(lens, lensAt.at(to)) < MeanDifference(lens, lensAt.at(from));
  }
  // The area's pixels once two shots 1.5 s apart are the same and not black: text that stays (a
  // video stopped or paused; a playing one moves on every second). False while it changes.
  bool Steady(const Area& area, std::vector<Rgb>* pixels) const {
    const std::vector<Rgb> before = Shot(area);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    *pixels = Shot(area);
    return Brightest(*pixels) > 0 && MeanDifference(before, *pixels) == 0.0;
  }

  XSession x{true};
  TempDir folder{"orbelle_keys"};
  TempDir scratch{"orbelle_keys_shots"};
  std::map<int, std::vector<Rgb>> lensAt;
  pid_t pid = -1;
  std::string window;
};

TEST_F(PlayerKeysEndToEndTest, EachKeyShowsWhatItsButtonOrMouseActionShows) {
  ASSERT_TRUE(WaitUntil([&] { return Title() == TitleOf("a.bmp"); })) << Title();
  ASSERT_TRUE(WaitUntil([&] { return MeanDifference(Shot(kLens), lensAt[100]) < 20.0; }))
      << "the lens does not show the picture at 100 %";
  std::vector<Rgb> unlocked, soundOn, stopped, paused;
  ASSERT_TRUE(WaitUntil([&] { return Steady(kLockText, &unlocked); })) << "the lock text never settled";
  soundOn = Shot(kSoundButton);
  auto titled = [&](const char* name) { return [this, name] { return Title() == TitleOf(name); }; };
  auto zoomed = [&](int from, int to) { return [this, from, to] { return Zoomed(from, to); }; };

  // Each row: the xdotool command line after "xdotool" (keys sent to the focused window) and what
  // then shows, with state carried from row to row.
  const struct {
    std::vector<std::string> keys;
    const char* shows;
    std::function<bool()> check;
  } rows[] = {
      {{"key", "plus"}, "one wheel step in: 107 %", zoomed(100, 107)},
      {{"key", "KP_Add"}, "114 %", zoomed(107, 114)},
      {{"key", "0"}, "back to 100 %", zoomed(114, 100)},
      {{"key", "minus"}, "one wheel step out: 93 %", zoomed(100, 93)},
      {{"key", "KP_Subtract"}, "86 %", zoomed(93, 86)},
      {{"key", "0"}, "back to 100 % from below", zoomed(86, 100)},
      // Held for 3 s, the key repeats (Xvfb: after 660 ms, 25 a second): a step for each
      // repeat takes the zoom to its largest, 303 %; one step for the whole hold would be 107 %.
      {{"keydown", "KP_Add", "sleep", "3", "keyup", "KP_Add"}, "a step per repeat: 303 %", zoomed(107, 303)},
      {{"key", "0"}, "back to 100 % from 303 %", zoomed(303, 100)},
      {{"key", "l"},
       "the lock text of a locked camera",
       [&] { return MeanDifference(Shot(kLockText), unlocked) > 1.0; }},
      {{"key", "l"},
       "the lock text of an unlocked camera",
       [&] { return MeanDifference(Shot(kLockText), unlocked) < 1.0; }},
      {{"key", "m"},
       "the sound-on button in place of the sound-off button",
       [&] { return MeanDifference(Shot(kSoundButton), soundOn) > 1.0; }},
      {{"key", "m"}, "the sound-off button again", [&] { return MeanDifference(Shot(kSoundButton), soundOn) < 1.0; }},
      {{"key", "Right"}, "the next file", titled("b.jpg")},
      {{"key", "Page_Down"}, "the next file", titled("c.avi")},
      {{"key", "Page_Up"}, "the previous file", titled("b.jpg")},
      {{"key", "Left"}, "the previous file", titled("a.bmp")},
      {{"key", "Left"}, "the last file, wrapped around", titled("c.avi")},
      {{"key", "Home"}, "the video stopped: its time text stays", [&] { return Steady(kTimeText, &stopped); }},
      {{"key", "space"},
       "the video playing: its time text moves on",
       [&] { return MeanDifference(Shot(kTimeText), stopped) > 1.0; }},
      {{"key", "space"},
       "the video paused: its time text stays, past the start",
       [&] { return Steady(kTimeText, &paused) && MeanDifference(paused, stopped) > 1.0; }},
      {{"key", "space"}, "the video playing on", [&] { return MeanDifference(Shot(kTimeText), paused) > 1.0; }},
      {{"key", "Home"},
       "the video stopped at its start",
       [&] { return MeanDifference(Shot(kTimeText), stopped) == 0.0; }},
      {{"key", "F1"}, "the help picture", titled("説明書.bmp")},
      {{"key", "ctrl+o"}, "the file chooser", [&] { return !Choosers().empty(); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.keys[1] + ": " + row.shows);
    std::vector<std::string> command = {"xdotool"};
    command.insert(command.end(), row.keys.begin(), row.keys.end());
    x.Run(command);
    ASSERT_TRUE(WaitUntil(row.check)) << "it does not show";
  }

  // While the chooser is up, a key to the viewer does nothing, then or after.
  const std::string chooser = Choosers().front();
  ASSERT_TRUE(Activate(window));
  x.Run({"xdotool", "key", "Right"});
  // Keys the chooser was not ready for are lost on a busy machine: Esc is sent until it goes.
  for (int attempt = 0; attempt < 5 && !Choosers().empty(); ++attempt) {
    Activate(chooser);
    x.Run({"xdotool", "key", "Escape"});
    WaitUntil([&] { return Choosers().empty(); }, 3000);
  }
  ASSERT_TRUE(Choosers().empty()) << "the chooser did not close";
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_EQ(TitleOf("説明書.bmp"), Title()) << "a key pressed while the chooser was up acted";

  ASSERT_TRUE(Activate(window));
  x.Run({"xdotool", "key", "alt+x"});
  EXPECT_EQ(0, XSession::WaitExit(pid, 10000)) << "Alt+X did not end the program";
}

}  // namespace
