// Files that broke viewers which parsed them in their own process, opened as the viewer opens
// them: each is parsed only by a media worker, refused or shown with the ordinary messages; the
// viewer's own memory stays small; the window is repainted while the worker works; no worker is
// left afterwards; and the next picture opens and shows.
#include <SDL.h>
#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "MediaTestSupport.h"
#include "media/MovieSource.h"
#include "platform/dshow/WorkerClient.h"
#include "platform/win32/SdlWindow.h"
#include "support/ChildProcesses.h"
#include "support/Ffmpeg.h"
#include "support/HostilePictures.h"
#include "support/PictureFixtures.h"
#include "support/Sanitizers.h"
#include "support/TempDir.h"
#include "support/TestDevice.h"

namespace {

using hostile::Bytes;

std::filesystem::path SourceDir() {
  const char* source = std::getenv("ORBELLE_SOURCE_DIR");
  return source ? source : ORBELLE_SOURCE_DIR_DEFAULT;
}

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// An ID3 tag (no frames) in front of other bytes: a typefinder sends such a file to a tag
// reader, which hands what follows to whatever decoder the bytes select.
Bytes BehindId3(Bytes inner) {
  static constexpr std::uint8_t kTag[] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
  inner.insert(inner.begin(), std::begin(kTag), std::end(kTag));
  return inner;
}

// A ProTracker module of 2 KB: its signature at byte 1080.
Bytes TrackerMusic() {
  Bytes bytes(2048, 0);
  const std::string title = "orbelle tracker";
  std::copy(title.begin(), title.end(), bytes.begin());
  const std::string tag = "M.K.";
  std::copy(tag.begin(), tag.end(), bytes.begin() + 1080);
  return bytes;
}

// A 24-bit BMP of width x height in mid grey; with pixels false only its 54-byte header.
Bytes Bmp(std::uint32_t width, std::uint32_t height, bool pixels) {
  const std::uint32_t row = (3 * width + 3) & ~3u, data = row * height;
  Bytes b(54, 0);
  const auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = (v >> (8 * i)) & 255;
  };
  b[0] = 'B';
  b[1] = 'M';
  put(2, 54 + data, 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, width, 4);
  put(22, height, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(34, data, 4);
  if (pixels) b.resize(54 + data, 128);
  return b;
}

// The peak of the process's resident memory since the last reset, in MB.
long PeakResidentMb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6)) / 1024;
  return -1;
}
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

class HostileFileTest : public ::testing::Test {
 protected:
  // Asks for the device's window to be painted again; a wait that pumps the window's events
  // calls the repaint handler.
  void Expose() {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_EXPOSED;
    e.window.windowID = SDL_GetWindowID(Win32SdlWindow(device.window()));
    SDL_PushEvent(&e);
  }
  // Opens the good picture and waits for its centre colour (the fixture's (129, 150, 210)).
  void GoodPictureShows() {
    CMovieSource media;
    ASSERT_EQ(S_OK, media.Open(device.get(),
                               WinPath(SourceDir() / "tests/platform/picture/fixtures/v3_24bit.bmp").c_str(), true));
    ASSERT_TRUE(WaitUntil([&] { return media.GetFramesRendered() > 0; }));
    UINT w = 0, h = 0;
    const std::vector<DWORD> texels = ReadTexels(media.GetTexture(), &w, &h);
    ASSERT_EQ(29u * 21u, texels.size());
    EXPECT_EQ(0xFF8196D2u, texels[(20 - 10) * 29 + 14]);  // bottom row first
  }

  struct Case {
    std::string name;
    Bytes bytes;
    const char16_t* message;  // null: the picture shows, or the video plays
    UINT width;               // of the picture shown
  };
  // Opens the file as the viewer does: refused with the case's one message and no texture, or
  // shown at its width without a message; the window painted while the worker works, the
  // viewer's peak memory below memoryBoundMb (0: not measured), and no worker left.
  void OpensAsExpected(const Case& c, const std::filesystem::path& file, long memoryBoundMb) {
    SCOPED_TRACE(c.name);
    boxes.boxes.clear();
    ResetPeak();
    int repaints = 0;
    const int id = Win32AddRepaintHandler(device.window(), [&] { ++repaints; });
    Expose();
    {
      auto media = std::make_unique<CMovieSource>();
      const HRESULT hr = media->Open(device.get(), WinPath(file).c_str(), true);
      if (c.message) {
        EXPECT_TRUE(FAILED(hr));
        EXPECT_EQ(nullptr, media->GetTexture());
        EXPECT_EQ(1u, boxes.boxes.size());
        if (!boxes.boxes.empty()) {
          EXPECT_EQ(c.message, boxes.boxes[0].text);
        }
      } else {
        EXPECT_EQ(S_OK, hr);
        EXPECT_EQ(c.width, static_cast<UINT>(media->GetWidth()));
        EXPECT_TRUE(WaitUntil([&] { return media->GetFramesRendered() > 0; }));
        EXPECT_TRUE(boxes.boxes.empty());
      }
    }
    Win32RemoveRepaintHandler(id);
    EXPECT_GE(repaints, 1) << "the window was not painted while the worker worked";
    if (memoryBoundMb > 0) {
      EXPECT_LT(PeakResidentMb(), memoryBoundMb);
    }
    EXPECT_TRUE(ChildProcesses().empty());
  }

  TestDevice device;
  CapturedBoxes boxes;
};

TEST_F(HostileFileTest, EachIsRefusedOrShownWithTheViewerSmallAndItsWindowPainted) {
  ASSERT_NE(nullptr, device.get());
  TempDir temp("orbelle-hostile");
  const std::filesystem::path pictures = SourceDir() / "tests/platform/picture/fixtures";
  constexpr char16_t kUnsupported[] = u"Could not add source filter to graph!  hr=0x80040265";
  constexpr char16_t kInvalid[] = u"Could not add source filter to graph!  hr=0x8004022f";
  std::vector<Case> cases = {
      {"svg.jpg", {}, kUnsupported, 0},
      {"id3_progressive.jpg", BehindId3(ReadBytes(pictures / "progressive.jpg")), kUnsupported, 0},
      {"id3.gif", BehindId3(ReadBytes(pictures / "animated.gif")), kUnsupported, 0},
      {"id3.png", BehindId3(hostile::PngTruncatedTo64()), kUnsupported, 0},
      {"tracker.avi", TrackerMusic(), kUnsupported, 0},
      {"claims_8192.bmp", Bmp(8192, 8192, false), kInvalid, 0},
      {"wide_16384.bmp", Bmp(16384, 2, true), nullptr, 8192},
  };
  // Each newer picture type: a header claiming 60000 x 60000 (webp: 16384 x 16384) over a few
  // bytes, the file cut in half, and a file whose name says another type (shown by its content).
  ASSERT_TRUE(picture_fixtures::MakePictures(temp.path()));
  const auto made = [&](const char* name) { return ReadBytes(temp.path() / name); };
  const auto half = [&](const char* name) {
    Bytes bytes = made(name);
    bytes.resize(bytes.size() / 2);
    return bytes;
  };
  for (const char* type : {"png", "webp", "tif", "heic", "avif"})
    cases.push_back({std::string("bomb.") + type, made((std::string("bomb.") + type).c_str()), kInvalid, 0});
  for (const char* name : {"rgb.png", "lossless.webp", "plain.tif", "plain.heic", "plain.avif"})
    cases.push_back({std::string("cut_") + name, half(name), kInvalid, 0});
  cases.push_back({"heic_named.jpg", made("plain.heic"), nullptr, 64});
  cases.push_back({"png_named.gif", made("rgb.png"), nullptr, 64});
  cases.push_back({"webp_named.png", made("lossy.webp"), nullptr, 64});
  cases.push_back({"avif_named.mp4", made("plain.avif"), nullptr, 64});
  const std::string svg =
      "<svg width='30000' height='30000' xmlns='http://www.w3.org/2000/svg'><rect width='30000' "
      "height='30000'/></svg>";
  cases[0].bytes.assign(svg.begin(), svg.end());
  for (const Case& c : cases) OpensAsExpected(c, temp.Write(c.name, c.bytes), 300);
  GoodPictureShows();
}

// Newer video types: each container cut in half, files named as another type, and a small file of
// huge pictures (8192 x 4096, the texture's limit: 200 KB that decode to 50 MB a picture). Each
// plays what it holds or is refused with the open message; the viewer holds little beyond the
// picture's texture, its window is painted meanwhile, and no worker is left.
TEST_F(HostileFileTest, NewerVideoTypesCutMisnamedOrHugeStayInTheWorker) {
  ASSERT_NE(nullptr, device.get());
  TempDir temp("orbelle-hostile-video");
  // A moving pattern, so that every part of each file holds pictures.
  const std::string pattern = "testsrc=s=160x120:r=25:d=2";
  const std::vector<std::string> h264{"-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "ultrafast"},
      vp9{"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8"}, theora{"-c:v", "libtheora"},
      faststart{"-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "ultrafast", "-movflags", "+faststart"};
  const struct {
    const char* name;
    const std::vector<std::string>& video;
  } made[] = {{"phone.mp4", h264}, {"fast.mp4", faststart}, {"camera.mov", h264}, {"clip.mkv", vp9},
              {"clip.webm", vp9},  {"clip.ogv", theora},    {"clip.ts", h264},    {"clip.m2ts", h264}};
  for (const auto& m : made) {
    std::vector<std::string> args{"-f", "lavfi", "-i", pattern};
    args.insert(args.end(), m.video.begin(), m.video.end());
    args.push_back((temp.path() / m.name).string());
    ASSERT_TRUE(Ffmpeg(args)) << m.name;
  }
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "color=c=black:s=8192x4096:r=25:d=0.2", "-c:v", "libx264", "-pix_fmt",
                      "yuv420p", "-preset", "ultrafast", (temp.path() / "huge.mp4").string()}));
  // What a cut avi says too: the worker found a container but nothing in it that plays.
  constexpr char16_t kNothingPlays[] = u"Could not render source output pin!  hr=0x80040218";
  const auto whole = [&](const char* name) { return ReadBytes(temp.path() / name); };
  const auto half = [&](const char* name) {
    Bytes bytes = whole(name);
    bytes.resize(bytes.size() / 2);
    return bytes;
  };
  std::vector<Case> cases = {
      {"cut_phone.mp4", half("phone.mp4"), kNothingPlays, 0},  // its index is at the end
      {"cut_fast.mp4", half("fast.mp4"), nullptr, 160},        // its index is first
      {"cut_camera.mov", half("camera.mov"), kNothingPlays, 0},
      {"cut.mkv", half("clip.mkv"), nullptr, 160},
      {"cut.webm", half("clip.webm"), nullptr, 160},
      {"cut.ogv", half("clip.ogv"), nullptr, 160},
      {"cut.ts", half("clip.ts"), nullptr, 160},
      {"cut.m2ts", half("clip.m2ts"), nullptr, 160},
      {"mp4_named.avi", whole("phone.mp4"), nullptr, 160},
      {"ts_named.mkv", whole("clip.ts"), nullptr, 160},
      {"webm_named.jpg", whole("clip.webm"), nullptr, 160},
      {"huge.mp4", whole("huge.mp4"), nullptr, 8192},
  };
  // The huge pictures' texture is 128 MB in memory and as much again on the drawing side. The
  // sanitizers' shadow memory multiplies that, and says nothing of what the viewer keeps.
  for (const Case& c : cases)
    OpensAsExpected(c, temp.Write(c.name, c.bytes), kMeasuresMemory ? (c.width == 8192 ? 600 : 300) : 0);
  GoodPictureShows();
}

TEST_F(HostileFileTest, AWorkerThatCrashesOrHangsShowsTheOpenMessageWhileTheWindowIsPainted) {
  ASSERT_NE(nullptr, device.get());
  for (const char* mode : {"crash", "hang"}) {
    SCOPED_TRACE(mode);
    boxes.boxes.clear();
    dshow::WorkerClient::SetForTesting({}, {std::string("--misbehave=") + mode}, 1500);
    int repaints = 0;
    const int id = Win32AddRepaintHandler(device.window(), [&] { ++repaints; });
    Expose();
    {
      CMovieSource media;
      EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT,
                media.Open(device.get(), WinPath(SourceDir() / "tests/platform/picture/fixtures/v3_24bit.bmp").c_str(),
                           true));
    }
    Win32RemoveRepaintHandler(id);
    dshow::WorkerClient::SetForTesting({}, {}, 0);
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ(u"Could not add source filter to graph!  hr=0x8004022f", boxes.boxes[0].text);
    EXPECT_GE(repaints, 1);
    EXPECT_TRUE(ChildProcesses().empty());
    GoodPictureShows();
  }
}

}  // namespace
