#include "media/MovieSource.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iterator>
#include <memory>

#include "MediaTestSupport.h"
#include "support/TempDir.h"
#include "support/TestDevice.h"

namespace {

constexpr DWORD kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu;

// Waits for the first frame to land in the texture. The texture is not locked before that: a
// lock held by the test when the only frame of a picture arrives would make the renderer drop it.
std::vector<DWORD> FirstFrame(CMovieSource& media, UINT* w, UINT* h) {
  if (!WaitUntil([&] { return media.GetFramesRendered() > 0; })) return {};
  return ReadTexels(media.GetTexture(), w, h);
}

class MovieSourceTest : public ::testing::Test {
 protected:
  TestDevice device;
  CapturedBoxes boxes;
};

TEST_F(MovieSourceTest, PicturesArriveBottomRowFirstAtTheirOwnSize) {
  ASSERT_NE(nullptr, device.get());
  // Exact pattern pictures, bottom-up and top-down: texture row 0 holds the picture's bottom row.
  for (const char* name : {"pattern.bmp", "pattern_topdown.bmp"}) {
    SCOPED_TRACE(name);
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(), Fixture(name).c_str(), false));
    EXPECT_EQ(160, media.GetWidth());
    EXPECT_EQ(120, media.GetHeight());
    UINT w = 0, h = 0;
    std::vector<DWORD> texels = FirstFrame(media, &w, &h);
    ASSERT_EQ(160u, w);
    ASSERT_EQ(120u, h);
    EXPECT_EQ(0, TexelsOffPattern(texels, 160, 120));
  }
  // Quadrant pictures (top left red, top right green, bottom left blue, bottom right white).
  struct Case {
    const char* name;
    int tolerance;
  };
  for (const Case& c : {Case{"quadrants8.bmp", 0}, Case{"quadrants.gif", 0}, Case{"quadrants.jpg", 24}}) {
    SCOPED_TRACE(c.name);
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(), Fixture(c.name).c_str(), true));
    UINT w = 0, h = 0;
    std::vector<DWORD> texels = FirstFrame(media, &w, &h);
    ASSERT_EQ(160u * 120u, texels.size());
    auto at = [&](int x, int pictureRow) { return texels[(119 - pictureRow) * 160 + x]; };
    EXPECT_PRED3(Near, kRed, at(20, 20), c.tolerance);
    EXPECT_PRED3(Near, kGreen, at(140, 20), c.tolerance);
    EXPECT_PRED3(Near, kBlue, at(20, 100), c.tolerance);
    EXPECT_PRED3(Near, kWhite, at(140, 100), c.tolerance);
  }
}

TEST_F(MovieSourceTest, VideoOf322PixelsConvertsEveryPixelAndSkipsTheFiller) {
  ASSERT_NE(nullptr, device.get());
  CMovieSource media;
  ASSERT_EQ(S_OK, media.Open(device.get(), Fixture("pattern322.avi").c_str(), false));
  UINT w = 0, h = 0;
  std::vector<DWORD> texels = FirstFrame(media, &w, &h);
  ASSERT_EQ(322u, w);
  ASSERT_EQ(24u, h);
  EXPECT_EQ(0, TexelsOffPattern(texels, 322, 24));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MovieSourceTest, VideosOpenWithTheirPictureTheRightWayUp) {
  ASSERT_NE(nullptr, device.get());
  for (const char* name : {"clip.avi", "clip.wmv", "clip.mpg"}) {
    SCOPED_TRACE(name);
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(), Fixture(name).c_str(), false));
    UINT w = 0, h = 0;
    std::vector<DWORD> texels = FirstFrame(media, &w, &h);
    ASSERT_EQ(160u * 120u, texels.size());
    EXPECT_PRED3(Near, kBlue, texels[10 * 160 + 20], 40);  // near the bottom left of the picture
    EXPECT_PRED3(Near, kRed, texels[110 * 160 + 20], 40);  // near the top left
    EXPECT_PRED3(Near, kGreen, texels[110 * 160 + 140], 40);
  }
}

TEST_F(MovieSourceTest, PlayPauseStopAndPlayAtTheEnd) {
  ASSERT_NE(nullptr, device.get());
  for (const char* name : {"clip.avi", "clip.wmv", "clip.mpg"}) {
    SCOPED_TRACE(name);
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(), Fixture(name).c_str(), false));
    IMediaControl* control = media.GetMediaControl();
    IMediaPosition* position = media.GetMediaPosition();
    ASSERT_TRUE(control && position);
    EXPECT_NEAR(2.0, StopTime(media), 0.15);

    ASSERT_TRUE(WaitUntil([&] { return Position(media) >= 0.3; }));
    // Pause keeps the position.
    ASSERT_EQ(S_OK, control->Stop());
    const double paused = Position(media);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_DOUBLE_EQ(paused, Position(media));
    // Play continues from there, never passes the stop time, and ends on it.
    ASSERT_EQ(S_OK, control->Run());
    EXPECT_GE(Position(media), paused - 0.05);
    bool beyond = false;
    ASSERT_TRUE(WaitUntil([&] {
      const double now = Position(media), stop = StopTime(media);
      beyond |= now > stop;
      return now == stop;
    }));
    EXPECT_FALSE(beyond);
    EXPECT_NEAR(2.0, StopTime(media), 0.15);
    // Play at the stop time starts from the beginning, as the player scene does it.
    ASSERT_EQ(Position(media), StopTime(media));
    // The graph is still running, so the clock may already have moved on a little.
    ASSERT_EQ(S_OK, position->put_CurrentPosition(0.0));
    EXPECT_LT(Position(media), 0.5);
    ASSERT_EQ(S_OK, control->Run());
    EXPECT_LT(Position(media), 1.0);
    ASSERT_TRUE(WaitUntil([&] { return Position(media) >= 0.2; }));
    // Stop returns to 0 and keeps the last frame.
    ASSERT_EQ(S_OK, control->Stop());
    ASSERT_EQ(S_OK, position->put_CurrentPosition(0.0));
    EXPECT_NEAR(0.0, Position(media), 1e-3);
    UINT w = 0, h = 0;
    std::vector<DWORD> texels = ReadTexels(media.GetTexture(), &w, &h);
    ASSERT_FALSE(texels.empty());
    EXPECT_EQ(0xFFu, texels[0] >> 24);
    // A seek while stopped lands where asked, and play goes on from there to the end.
    ASSERT_EQ(S_OK, position->put_CurrentPosition(1.5));
    EXPECT_NEAR(1.5, Position(media), 0.05);
    ASSERT_EQ(S_OK, control->Run());
    EXPECT_GE(Position(media), 1.45);
    ASSERT_TRUE(WaitUntil([&] { return Position(media) == StopTime(media); }));
    EXPECT_NEAR(2.0, StopTime(media), 0.15);
  }
}

TEST_F(MovieSourceTest, WithTheClockOffEveryFrameReachesTheTexture) {
  ASSERT_NE(nullptr, device.get());
  // Each clip holds 50 frames; without a clock they come as fast as they decode, none late.
  for (const char* name : {"clip.avi", "clip.wmv", "clip.mpg"}) {
    SCOPED_TRACE(name);
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(), Fixture(name).c_str(), false));
    ASSERT_EQ(S_OK, media.GetMediaControl()->Stop());
    IMediaFilter* filter = nullptr;
    ASSERT_EQ(S_OK, media.GetMediaControl()->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(S_OK, filter->SetSyncSource(nullptr));
    filter->Release();
    ASSERT_EQ(S_OK, media.GetMediaPosition()->put_CurrentPosition(0.0));
    const LONG before = media.GetFramesRendered();
    ASSERT_EQ(S_OK, media.GetMediaControl()->Run());
    bool beyond = false;
    ASSERT_TRUE(WaitUntil([&] {
      const double now = Position(media), stop = StopTime(media);
      beyond |= now > stop;
      return now == stop;
    }));
    EXPECT_FALSE(beyond);
    EXPECT_EQ(50, media.GetFramesRendered() - before);
  }
}

TEST_F(MovieSourceTest, ProgramStreamKnowsItsLengthFromTheStart) {
  ASSERT_NE(nullptr, device.get());
  // The clip's first picture is shown 0.54 s into its clock, and GStreamer's estimate of its
  // length is about half the truth: positions count from the first picture, and the stop time
  // comes from the file's own time stamps.
  CMovieSource media;
  ASSERT_EQ(S_OK, media.Open(device.get(), Fixture("clip.mpg").c_str(), false));
  double duration = -1;
  ASSERT_EQ(S_OK, media.GetMediaPosition()->get_Duration(&duration));
  EXPECT_NEAR(2.0, duration, 0.05);
  EXPECT_NEAR(2.0, StopTime(media), 0.05);
  EXPECT_LT(Position(media), 0.3);
  bool beyond = false;
  ASSERT_TRUE(WaitUntil([&] {
    const double now = Position(media), stop = StopTime(media);
    beyond |= now > stop;
    return now == stop;
  }));
  EXPECT_FALSE(beyond);
  EXPECT_NEAR(2.0, StopTime(media), 0.05);
}

TEST_F(MovieSourceTest, SoundFollowsTheSoundSettingAndTheSourceKind) {
  ASSERT_NE(nullptr, device.get());
  HRESULT hr;
  {
    // A source with an "Output" pin and the sound off: the video alone is connected.
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(), Fixture("clip.avi").c_str(), false));
    GraphVolume(media, &hr);
    EXPECT_EQ(E_NOTIMPL, hr);
    media.SetVolume(10000);
    GraphVolume(media, &hr);
    EXPECT_EQ(E_NOTIMPL, hr);
  }
  for (const char* name : {"clip.avi", "clip.wmv"}) {
    SCOPED_TRACE(name);
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(), Fixture(name).c_str(), true));
    EXPECT_EQ(0, GraphVolume(media, &hr));
    EXPECT_EQ(S_OK, hr);
  }
  {
    // An ASF file has no "Output" pin: rendered whole, silent, and audible once the sound is on.
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(), Fixture("clip.wmv").c_str(), false));
    EXPECT_EQ(-10000, GraphVolume(media, &hr));
    EXPECT_EQ(S_OK, hr);
    struct Step {
      LONG level, volume;
    };
    for (Step s : {Step{10000, 0}, Step{0, -10000}, Step{12000, 0}, Step{5000, -5000}}) {
      media.SetVolume(s.level);
      EXPECT_EQ(s.volume, GraphVolume(media, &hr)) << s.level;
    }
    EXPECT_EQ(160, media.GetWidth());
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MovieSourceTest, FileWithoutVideoOpensWithNoPictureWhenSoundIsRendered) {
  ASSERT_NE(nullptr, device.get());
  CMovieSource withSound;
  EXPECT_EQ(S_OK, withSound.Open(device.get(), Fixture("audio_only.mpg").c_str(), true));
  EXPECT_EQ(nullptr, withSound.GetTexture());
  EXPECT_EQ(0, withSound.GetWidth());
  CMovieSource silent;
  EXPECT_EQ(VFW_E_CANNOT_CONNECT, silent.Open(device.get(), Fixture("audio_only.mpg").c_str(), false));
  ASSERT_EQ(1u, boxes.boxes.size());
  EXPECT_EQ(u"Could not connect pins!  hr=0x80040217", boxes.boxes[0].text);
}

TEST_F(MovieSourceTest, MissingFileShowsTheLongMessage) {
  CMovieSource media;
  EXPECT_EQ(VFW_E_NOT_FOUND, media.Open(device.get(), Fixture("no such file.avi").c_str(), true));
  ASSERT_EQ(1u, boxes.boxes.size());
  EXPECT_EQ(
      u"Could not add source filter to graph!  (hr==VFW_E_NOT_FOUND)\r\n\r\n"
      u"This sample reads a media file from the DirectX SDK's media path.\r\n"
      u"Please install the DirectX 9 SDK on this machine.",
      boxes.boxes[0].text);
  EXPECT_EQ(u"DirectShow CaptureTex9 Sample", boxes.boxes[0].caption);
  EXPECT_EQ(MB_ICONERROR, boxes.boxes[0].type & MB_ICONERROR);
  EXPECT_EQ(nullptr, media.GetTexture());
}

TEST_F(MovieSourceTest, BrokenAndHostileFilesFailWithTheirMessage) {
  ASSERT_NE(nullptr, device.get());
  TempDir temp("orbelle-media");
  std::filesystem::create_directory(temp.path() / "x.avi");
  ASSERT_EQ(0, mkfifo((temp.path() / "fifo.avi").c_str(), 0600));
  struct Case {
    std::u16string path;
    HRESULT code;
    const char16_t* message;
  };
  const Case cases[] = {
      {Fixture("empty.avi"), VFW_E_CANNOT_CONNECT, u"Could not connect pins!  hr=0x80040217"},
      {Fixture("truncated.avi"), VFW_E_CANNOT_CONNECT, u"Could not connect pins!  hr=0x80040217"},
      {Fixture("random.avi"), VFW_E_CANNOT_CONNECT, u"Could not connect pins!  hr=0x80040217"},
      {Fixture("random.wmv"), VFW_E_CANNOT_CONNECT, u"Could not connect pins!  hr=0x80040217"},
      {Fixture("random.jpg"), VFW_E_CANNOT_CONNECT, u"Could not connect pins!  hr=0x80040217"},
      {Fixture("truncated.jpg"), VFW_E_INVALID_FILE_FORMAT, u"Could not add source filter to graph!  hr=0x8004022f"},
      {Fixture("huge.bmp"), VFW_E_INVALID_FILE_FORMAT, u"Could not add source filter to graph!  hr=0x8004022f"},
      {WinPath(temp.path() / "x.avi"), VFW_E_UNKNOWN_FILE_TYPE,
       u"Could not add source filter to graph!  hr=0x80040240"},
      {WinPath(temp.path() / "fifo.avi"), VFW_E_UNKNOWN_FILE_TYPE,
       u"Could not add source filter to graph!  hr=0x80040240"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    boxes.boxes.clear();
    for (bool sound : {false, true}) {
      auto media = std::make_unique<CMovieSource>();
      // Returns at all (a hang would run into the test's time-out), refused.
      const HRESULT hr = media->Open(device.get(), c.path.c_str(), sound);
      EXPECT_TRUE(FAILED(hr));
      EXPECT_EQ(nullptr, media->GetTexture());
      if (!sound) {
        EXPECT_EQ(c.code, hr);
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ(c.message, boxes.boxes[0].text);
      }
    }
  }
}

int CountEntries(const char* dir) {
  int n = 0;
  if (DIR* d = opendir(dir)) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

TEST_F(MovieSourceTest, OpeningAndDestroyingRepeatedlyLeavesNothingBehind) {
  ASSERT_NE(nullptr, device.get());
  // Six that open and four that fail, three of them after the pipeline has started to run.
  const char* names[] = {"clip.avi",      "clip.wmv",   "clip.mpg", "pattern.bmp",   "animated.gif",
                         "quadrants.jpg", "random.avi", "huge.bmp", "truncated.avi", "random.wmv"};
  constexpr int kNames = static_cast<int>(std::size(names));
  int opened = 0;
  auto cycle = [&](int i) {
    CMovieSource media;
    opened += media.Open(device.get(), Fixture(names[i % kNames]).c_str(), i % 4 < 2) == S_OK;
  };
  for (int i = 0; i < 2 * kNames; ++i) cycle(i);  // warm-up: plugins loaded, thread pools started
  ASSERT_EQ(12, opened);
  const int fds = CountEntries("/proc/self/fd");
  const int threads = CountEntries("/proc/self/task");
  opened = 0;
  for (int i = 0; i < 200; ++i) cycle(i);
  EXPECT_EQ(120, opened);
  EXPECT_LE(CountEntries("/proc/self/fd"), fds);
  // GStreamer keeps a few idle pool threads; a leak would grow with the 200 cycles.
  EXPECT_LE(CountEntries("/proc/self/task"), threads + 4);
}

}  // namespace
