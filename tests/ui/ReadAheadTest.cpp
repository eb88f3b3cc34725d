// Reading the next file of the folder ahead changes nothing a person sees: the same steps
// through a folder of pictures and a video, with files replaced, broken and deleted on the way,
// show the same titles, pixels, files and messages with reading ahead on and off, and the steps
// that can be served by the worker that read ahead are.
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/dshow/WorkerClient.h"
#include "support/ChildProcesses.h"
#include "support/Ffmpeg.h"
#include "support/TempDir.h"
#include "ui/SceneFixture.h"

namespace {

namespace fs = std::filesystem;

// What one step leaves on the screen.
struct Shown {
  std::u16string title;
  int index = -1;
  long width = -1, height = -1;
  std::vector<std::u16string> messages;
  std::vector<DWORD> pixels;
};

class ReadAheadTest : public SceneFixture {
 protected:
  void SetUp() override {
    SceneFixture::SetUp();
    window = CreateWindowExW(0, u"TestDeviceWindow", u"player", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    g_hWnd = window;
    // A video whose every frame is the same, so that what it shows does not depend on when.
    const std::string still =
        "color=c=blue:s=64x48:d=0.5,drawbox=x=0:y=0:w=32:h=24:color=red:t=fill,drawbox=x=32:y=24:w=32:h=24:color=white:"
        "t=fill";
    ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", still, "-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "ultrafast",
                        "-f", "mp4", (video.path() / "b.mp4").string()}));
  }
  void TearDown() override {
    scene.reset();
    g_hWnd = nullptr;
    DestroyWindow(window);
    SceneFixture::TearDown();
  }

  // A key command in the next frame, the pointer at the centre: no button is hovered, so no
  // tooltip's timing shows on the screen.
  void Key(WORD command) {
    ASSERT_TRUE(scene->QueueCommand(command));
    Frame(320, 240);
  }

  // A fresh folder: a.bmp, the video b.mp4, c.jpg, d.bmp, e.jpg (not a picture at all), f.gif.
  void MakeFolder(const fs::path& folder) {
    const fs::path fixtures = SourceDir() / "tests" / "media" / "fixtures";
    for (auto [from, to] : {std::pair{"pattern.bmp", "a.bmp"},
                            {"quadrants.jpg", "c.jpg"},
                            {"pattern_topdown.bmp", "d.bmp"},
                            {"random.jpg", "e.jpg"},
                            {"quadrants.gif", "f.gif"}})
      fs::copy_file(fixtures / from, folder / to);
    fs::copy_file(video.path() / "b.mp4", folder / "b.mp4");
  }

  // Steps through a fresh folder as a person would, reading ahead or not; what each step shows.
  // With reading ahead, *served receives the steps whose file came from the worker that read it.
  std::vector<Shown> Walk(bool readAhead, std::vector<int>* served) {
    TempDir temp("orbelle-readahead");
    const fs::path& folder = temp.path();
    MakeFolder(folder);
    StartScene();
    scene->m_readAhead = readAhead;
    scene->m_readAheadDwell = 0;
    scene->m_files.Rebuild(WinPath(folder) + u"\\");
    EXPECT_EQ(6, scene->m_files.Count());
    scene->m_currentIndex = 0;
    scene->OpenMedia(scene->m_files.PathAt(0));

    struct Step {
      WORD key;                      // IDM_NEXT_FILE or IDM_PREVIOUS_FILE
      std::function<void()> before;  // after the frames that read ahead, before the step
    };
    const fs::path fixtures = SourceDir() / "tests" / "media" / "fixtures";
    const std::vector<Step> steps = {
        {IDM_NEXT_FILE, {}},  // the video
        {IDM_NEXT_FILE, {}},
        // d.bmp is replaced after it was read ahead: the new picture shows.
        {IDM_NEXT_FILE,
         [&] { fs::copy_file(fixtures / "quadrants8.bmp", folder / "d.bmp", fs::copy_options::overwrite_existing); }},
        // e.jpg does not decode: its message comes with the step to it, not before.
        {IDM_NEXT_FILE, [&] { EXPECT_TRUE(boxes.empty()) << "a message before the step"; }},
        {IDM_NEXT_FILE, {}},
        // a.bmp is deleted after it was read ahead: the missing file's message.
        {IDM_NEXT_FILE, [&] { fs::remove(folder / "a.bmp"); }},
        {IDM_PREVIOUS_FILE, {}},
        {IDM_PREVIOUS_FILE, {}},
        {IDM_PREVIOUS_FILE, {}},
        {IDM_PREVIOUS_FILE, {}},
    };
    std::vector<Shown> shown;
    for (std::size_t i = 0; i < steps.size(); ++i) {
      SCOPED_TRACE("step " + std::to_string(i));
      // A few frames with nothing moving: time enough to read the neighbour ahead.
      for (int f = 0; f < 3; ++f) Frame(320, 240);
      if (steps[i].before) steps[i].before();
      const int held = dshow::WorkerClient::ReadAheadPid();
      boxes.clear();
      Key(steps[i].key);
      // A worker that read ahead and was not taken over has been ended; one that lives serves.
      if (held > 0 && kill(held, 0) == 0) served->push_back(static_cast<int>(i));
      // A video is stopped at its start (where its neighbour is then read ahead), and the
      // picture is in its texture before a look.
      EXPECT_TRUE(WaitUntil([&] { return !scene->m_media || scene->m_media->GetFramesRendered() > 0; }));
      if (scene->m_media && scene->m_buttons[BTN_STOP]->m_state == SRD_NORMAL) Key(IDM_STOP);
      Shown s;
      WCHAR title[256] = {};
      GetWindowTextW(window, title, 256);
      s.title = title;
      s.index = scene->m_currentIndex;
      if (scene->m_media) {
        s.width = scene->m_media->GetWidth();
        s.height = scene->m_media->GetHeight();
      }
      s.messages = boxes;
      s.pixels = DrawScene();
      shown.push_back(std::move(s));
    }
    scene.reset();
    EXPECT_TRUE(ChildProcesses().empty()) << "a worker outlived the scene";
    return shown;
  }

  HWND window = nullptr;
  TempDir video{"orbelle-readahead-video"};
};

TEST_F(ReadAheadTest, StepsShowTheSameWithReadingAheadOnAndOff) {
  std::vector<int> none, served;
  const std::vector<Shown> off = Walk(false, &none);
  const std::vector<Shown> on = Walk(true, &served);
  EXPECT_TRUE(none.empty());
  ASSERT_EQ(off.size(), on.size());
  for (std::size_t i = 0; i < off.size(); ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    EXPECT_EQ(off[i].title, on[i].title);
    EXPECT_EQ(off[i].index, on[i].index);
    EXPECT_EQ(off[i].width, on[i].width);
    EXPECT_EQ(off[i].height, on[i].height);
    EXPECT_EQ(off[i].messages, on[i].messages);
    int differing = 0, left = 640, top = 480, right = -1, bottom = -1;
    for (std::size_t p = 0; p < off[i].pixels.size() && p < on[i].pixels.size(); ++p) {
      if ((off[i].pixels[p] & 0xFFFFFF) == (on[i].pixels[p] & 0xFFFFFF)) continue;
      ++differing;
      const int x = static_cast<int>(p % 640), y = static_cast<int>(p / 640);
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
    EXPECT_EQ(0, differing) << "pixels differ within " << left << "," << top << " to " << right << "," << bottom;
  }
  // The walk means what it says: the replaced picture shows (d.bmp's old picture differs from its
  // new one), the broken one and the deleted one are reported.
  EXPECT_TRUE(on[2].messages.empty());
  EXPECT_EQ(1u, on[3].messages.size());
  EXPECT_EQ(1u, on[5].messages.size());
  EXPECT_EQ(1u, on[7].messages.size());
  // Served by the worker that read ahead: the video, the picture after it, and the last step
  // back (each after a file on screen); never the replaced, the broken or the deleted file.
  EXPECT_EQ((std::vector<int>{0, 1, 9}), served);
}

}  // namespace
