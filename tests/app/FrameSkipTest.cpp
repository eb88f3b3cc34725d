// Frames that would come out the same as the one on screen are neither drawn nor presented, and
// the screen never shows anything else than drawing every frame would: checked by reading back
// the window's pixels from the X server after every 60 Hz slot of a scripted minute.
//
// The slots run as the program's loop runs them (the scene's update, then ShowFrame: DrawFrame
// and, unless it drew nothing, Present), with the pacer on a clock that never waits and the
// pointer, its buttons and the wheel set by the script instead of polled from the devices. The
// background's timer stands still, so that the moire looks the same from one drawing to the next.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/MyD3DApplication.h"
#include "app/SceneManager.h"
#include "framework/FrameTimer.h"
#include "input/InputDevices.h"
#include "media/MovieSource.h"
#include "platform/d3d9/d3d9_testing.h"
#include "platform/win32/Paths.h"
#include "platform/win32/SdlWindow.h"
#include "platform/win32/win32.h"
#include "scene/SceneGlobals.h"
#include "support/Ffmpeg.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "ui/QoSceneTitle.h"

// Last: Xlib's macros (None, Bool) would otherwise rename what the headers above declare.
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

DWORD g_clockMs = 0;
const PacerClock kInstantClock{[] { return g_clockMs; }, [](DWORD ms) { g_clockMs += ms; }};

struct Pointer {
  int x = 320, y = 240;
  bool left = false, right = false;
  int wheel = 0;  // 120 a notch
};

class ScriptedApp : public CMyD3DApplication {
 public:
  ScriptedApp() : CMyD3DApplication(kInstantClock) {}
  ~ScriptedApp() override {
    if (MainWindow()) Close();
  }

  // One slot with the pointer as given. S_FALSE when the frame was left out.
  HRESULT Slot(const Pointer& pointer) {
    m_pointer = pointer;
    const HRESULT hr = Advance();
    return FAILED(hr) ? hr : ShowFrame();
  }
  // The program's update with the script's pointer in place of the devices' readings.
  HRESULT Advance() override {
    if (!g_input || !g_sceneManager || !g_sceneManager->m_currentScene) return E_FAIL;
    std::copy(std::begin(g_input->m_mouseButtons), std::end(g_input->m_mouseButtons), g_input->m_prevMouseButtons);
    g_input->m_pointerX = m_pointer.x;
    g_input->m_pointerY = m_pointer.y;
    g_input->m_mouseButtons[0] = m_pointer.left;
    g_input->m_mouseButtons[1] = m_pointer.right;
    g_input->m_wheel = m_pointer.wheel;
    g_sceneManager->m_currentScene->Update();
    return S_OK;
  }
  HRESULT Reset() { return ResetDevice(); }
  CQoSceneTitle& Scene() const { return *static_cast<CQoSceneTitle*>(g_sceneManager->m_currentScene); }
  ULONGLONG Presents() const { return D3D9TestPresentCount(Device()); }
  void Close() {
    SendMessageW(MainWindow(), WM_CLOSE, 0, 0);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

 private:
  Pointer m_pointer;
};

// The window's client area as the X server shows it, 0xRRGGBB top row first.
std::vector<DWORD> ScreenPixels(HWND window, UINT width, UINT height) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(Win32SdlWindow(window), &info) || info.subsystem != SDL_SYSWM_X11) return {};
  XImage* image = XGetImage(info.info.x11.display, info.info.x11.window, 0, 0, width, height, AllPlanes, ZPixmap);
  if (!image) return {};
  std::vector<DWORD> pixels;
  if (image->bits_per_pixel == 32 && image->byte_order == LSBFirst) {
    pixels.resize(std::size_t(width) * height);
    for (UINT y = 0; y < height; ++y) {
      const auto* row = reinterpret_cast<const DWORD*>(image->data + std::size_t(y) * image->bytes_per_line);
      for (UINT x = 0; x < width; ++x) pixels[std::size_t(y) * width + x] = row[x] & 0xFFFFFF;
    }
  }
  XDestroyImage(image);
  return pixels;
}

// What moves by itself while a video plays: pictures delivered, the seek bar's pixel, the
// time text's second. A step during which one of them changed cannot be compared.
struct Moving {
  const CMovieSource* media = nullptr;
  LONG frames = 0;
  int knob = -1, second = -1;
  bool operator==(const Moving&) const = default;
};

Moving ReadMoving(const CQoSceneTitle& scene) {
  Moving m;
  m.media = scene.m_media;
  if (!scene.m_media) return m;
  m.frames = scene.m_media->GetFramesRendered();
  IMediaPosition* position = scene.m_media->GetMediaPosition();
  REFTIME now = 0, duration = 0;
  if (position && SUCCEEDED(position->get_Duration(&duration)) && duration > 0 &&
      SUCCEEDED(position->get_CurrentPosition(&now))) {
    m.knob = static_cast<int>(now / duration * 600);
    m.second = static_cast<int>(now);
  }
  return m;
}

bool Playing(const CQoSceneTitle& scene) {
  IMediaControl* control = scene.m_media ? scene.m_media->GetMediaControl() : nullptr;
  OAFilterState state = State_Stopped;
  return control && SUCCEEDED(control->GetState(0, &state)) && state == State_Running;
}

TEST(FrameSkip, EverySlotShowsWhatDrawingEveryFrameWouldShow) {
  const TempDir temp("orbelle_frame_skip");
  const std::string clip = (temp.path() / "clip.avi").string();
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=30", "-t", "30", "-c:v", "mpeg4", "-q:v", "5",
                      "-pix_fmt", "yuv420p", clip}));
  ScriptedApp app;
  ASSERT_EQ(S_OK, app.CreateApp(GetModuleHandleW(nullptr)));
  ASSERT_TRUE(g_sceneManager && g_sceneManager->m_currentScene && g_input);
  AppFrameTimer().Stop();
  CQoSceneTitle& scene = app.Scene();
  const UINT width = app.BackBufferDesc().Width, height = app.BackBufferDesc().Height;

  int slots = 0, skipped = 0, playingCompared = 0;
  bool still = true;  // nothing moves by itself: every step must be compared
  // One slot, then the screen against the same slot's frame drawn in full into the back buffer.
  auto step = [&](const Pointer& pointer) {
    const Moving before = ReadMoving(scene);
    const bool playing = Playing(scene);
    const HRESULT hr = app.Slot(pointer);
    ASSERT_TRUE(SUCCEEDED(hr));
    skipped += hr == S_FALSE;
    const std::vector<DWORD> screen = ScreenPixels(app.MainWindow(), width, height);
    app.DrawFrameUnpaced();
    UINT w = 0, h = 0;
    std::vector<DWORD> drawn = D3D9TestReadBackBuffer(app.Device(), &w, &h);
    ++slots;
    if (!(ReadMoving(scene) == before)) {
      // A picture arrived or the video's time moved on meanwhile.
      EXPECT_FALSE(still) << "slot " << slots << ": the media moved by itself";
      return;
    }
    ASSERT_EQ(drawn.size(), screen.size()) << "the window's pixels could not be read";
    for (DWORD& p : drawn) p &= 0xFFFFFF;
    playingCompared += playing;
    if (screen == drawn) return;
    std::size_t i = 0;
    while (screen[i] == drawn[i]) ++i;
    FAIL() << "slot " << slots << (hr == S_FALSE ? " (left out)" : " (drawn)") << ": pixel " << i % width << ","
           << i / width << " shows " << std::hex << screen[i] << ", drawing every frame gives " << drawn[i];
  };
  auto run = [&](int count, const Pointer& pointer) {
    for (int i = 0; i < count && !testing::Test::HasFatalFailure(); ++i) step(pointer);
  };
  // A straight move of the pointer over `count` slots, resting every third slot.
  auto glide = [&](Pointer from, int toX, int toY, int count) {
    for (int i = 1; i <= count && !testing::Test::HasFatalFailure(); ++i) {
      Pointer p = from;
      const int k = i - i % 3;
      p.x = from.x + (toX - from.x) * k / count;
      p.y = from.y + (toY - from.y) * k / count;
      step(p);
    }
  };
  auto click = [&](Pointer at, bool right) {
    (right ? at.right : at.left) = true;
    step(at);
    run(3, at);
    (right ? at.right : at.left) = false;
    step(at);
  };
  auto wheel = [&](Pointer at, int notches) {
    for (int i = 0; i < std::abs(notches); ++i) {
      at.wheel = notches > 0 ? 120 : -120;
      step(at);
      at.wheel = 0;
      run(4, at);
    }
  };

  // Slots until the media's first picture has arrived in its texture.
  auto arrive = [&](const Pointer& at) {
    still = false;
    for (int i = 0; i < 2000 && scene.m_media && scene.m_media->GetFramesRendered() == 0; ++i) {
      step(at);
      SDL_Delay(5);
    }
    ASSERT_TRUE(scene.m_media && scene.m_media->GetFramesRendered() > 0);
    run(2, at);  // a still may be delivered twice as its stream starts
    still = true;
  };

  const Pointer centre;
  arrive(centre);
  run(120, centre);
  glide(centre, 200, 150, 90);
  glide({200, 150}, 420, 330, 120);
  run(60, {420, 330});
  wheel({420, 330}, 3);
  run(60, {420, 330});
  wheel({420, 330}, -12);  // the picture smaller than the lens: the moire shows beside it
  run(60, {420, 330});
  glide({420, 330}, 30, 30, 60);  // the lens half off the screen
  run(30, {30, 30});
  scene.QueueCommand(IDM_ZOOM_RESET);
  run(60, {30, 30});
  glide({30, 30}, 320, 240, 60);
  // A button: its hover look, the tooltip after 20 frames, a click that swaps the sound
  // buttons, and leaving it.
  const Pointer sound = {619, 459};
  glide({320, 240}, sound.x, sound.y, 30);
  run(60, sound);
  click(sound, false);
  run(40, sound);
  click(sound, false);
  run(30, sound);
  glide(sound, 320, 240, 30);
  // The camera lock: the lens stays while the pointer moves, a left click moves it there, the
  // lock's text changes with it.
  click({320, 240}, true);
  glide({320, 240}, 500, 100, 60);
  click({500, 100}, false);
  run(30, {500, 100});
  glide({500, 100}, 150, 350, 60);
  click({150, 350}, true);
  run(60, {150, 350});
  // The help picture through its button.
  glide({150, 350}, 619, 21, 30);
  still = false;  // from the click that opens it, the picture arrives when it will
  click({619, 21}, false);
  arrive({619, 21});
  glide({619, 21}, 320, 240, 60);
  run(120, centre);

  // A video: playing, with the pointer moving now and then; paused; playing again; stopped.
  scene.OpenMedia(Win32FromNativePath(clip));
  ASSERT_TRUE(scene.m_media && Playing(scene));
  still = false;
  for (int i = 0; i < 600 && !testing::Test::HasFatalFailure(); ++i) {
    Pointer p = centre;
    p.x += (i / 40) % 2 == 0 ? (i % 40) : 0;
    step(p);
  }
  EXPECT_GT(playingCompared, 0) << "no slot could be compared while the video played";
  scene.QueueCommand(IDM_PLAY_PAUSE);
  step(centre);  // the pause itself, while the last picture may still arrive
  still = true;
  run(300, centre);
  glide(centre, 380, 300, 60);
  run(120, {380, 300});
  scene.QueueCommand(IDM_PLAY_PAUSE);
  still = false;
  run(400, {380, 300});
  scene.QueueCommand(IDM_STOP);
  step({380, 300});
  still = true;
  run(300, {380, 300});
  ASSERT_FALSE(testing::Test::HasFatalFailure());
  EXPECT_GT(skipped, slots / 4) << "too few slots were left out for the comparison to mean much";
  AppFrameTimer().Start();
  app.Close();
}

TEST(FrameSkip, AStillFrameIsPresentedOnlyWhenSomethingChanges) {
  ScriptedApp app;
  ASSERT_EQ(S_OK, app.CreateApp(GetModuleHandleW(nullptr)));
  ASSERT_TRUE(g_sceneManager && g_sceneManager->m_currentScene && g_input);
  CQoSceneTitle& scene = app.Scene();
  const Pointer centre;
  // Until the welcome picture is in its texture and a frame has been left out.
  ASSERT_TRUE(WaitUntil([&] { return app.Slot(centre) == S_FALSE && scene.m_media->GetFramesRendered() > 0; }));

  const struct {
    const char* what;
    std::function<void()> before;  // once, before the slots
    Pointer pointer;
    int slots;
    int presents;  // expected, each of a frame drawn for it
    int skipped;   // slots expected to be left out
  } cases[] = {
      {"nothing changes", {}, centre, 300, 0, 300},
      // The window procedure draws and presents it, outside the slots.
      {"the window is exposed", [&] { SendMessageW(app.MainWindow(), WM_PAINT, 0, 0); }, centre, 30, 1, 30},
      {"the device is reset", [&] { ASSERT_EQ(S_OK, app.Reset()); }, centre, 30, 1, 29},
      {"the lens moves a pixel", {}, {321, 240}, 30, 1, 29},
      {"a wheel notch starts a zoom step", {}, {321, 240, false, false, 120}, 1, 1, 0},
      {"the zoom step's remaining frames", {}, {321, 240}, 40, ZOOM_FRAMES - 1, 41 - ZOOM_FRAMES},
      {"a right press locks the camera", {}, {321, 240, false, true}, 30, 1, 29},
      {"the pointer moves away from the locked lens", {}, {100, 100}, 30, 0, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ULONGLONG presents = app.Presents(), drawn = app.FramesDrawn(), skipped = app.FramesSkipped();
    if (c.before) c.before();
    for (int i = 0; i < c.slots; ++i) ASSERT_TRUE(SUCCEEDED(app.Slot(c.pointer)));
    EXPECT_EQ(presents + c.presents, app.Presents());
    EXPECT_EQ(drawn + c.presents, app.FramesDrawn());
    EXPECT_EQ(skipped + c.skipped, app.FramesSkipped());
  }
  app.Close();
}

}  // namespace
