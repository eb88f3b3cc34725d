// The moire background drawing on the real device under Xvfb, framed as the frame cycle frames
// it: clear to white, depth test on, Update and Draw, then the cycle's own camera and ambient
// light for the next frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <set>
#include <string>

#include "background/MoireScreensaver.h"
#include "background/MoireTestSupport.h"
#include "platform/d3dx9/d3dx9math.h"
#include "scene/ImageFixtures.h"
#include "support/TestDevice.h"

namespace {

constexpr UINT kWidth = 640, kHeight = 480;
constexpr DWORD kFrameAmbient = 0x000F0F0F;
// Below the centre: the floor, the wall and the tunnel all cover it.
constexpr UINT kProbeX = 320, kProbeY = 360;

// Runs code with another working directory, since the background loads its files relative to it.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& dir) : m_saved(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~WorkingDirectory() { std::filesystem::current_path(m_saved); }

 private:
  std::filesystem::path m_saved;
};

// A hidden window whose client rectangle the background captures.
class ClientWindow {
 public:
  ClientWindow(int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"MoireClientWindow";
    RegisterClassW(&wc);  // fails harmlessly when a previous test registered it
    m_window = CreateWindowExW(0, u"MoireClientWindow", u"moire", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                               wc.hInstance, nullptr);
  }
  ~ClientWindow() {
    if (m_window) DestroyWindow(m_window);
  }
  HWND get() const { return m_window; }

 private:
  HWND m_window = nullptr;
};

int Channel(DWORD color, int shift) {
  return int((color >> shift) & 0xff);
}

class MoireDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(nullptr, device.get()) << "no Direct3D device (is DISPLAY set?)";
    ASSERT_NE(nullptr, window.get());
    ApplyFrameCycleState();
  }
  void TearDown() override {
    moire.reset();
    if (device.get()) device.get()->SetTexture(0, nullptr);
  }

  // The parts of the frame cycle's fixed state that reach the background's next frame.
  void ApplyFrameCycleState() {
    const D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    device.get()->SetTransform(D3DTS_VIEW, &view);
    device.get()->SetRenderState(D3DRS_AMBIENT, kFrameAmbient);
  }

  void Create(const std::filesystem::path& folder) {
    WorkingDirectory cwd(folder);
    moire = std::make_unique<CMoireScreensaver>(device.get(), window.get(), clock.timer());
  }

  // One frame as the frame cycle draws it.
  std::vector<DWORD> Frame(double seconds) {
    clock.Set(seconds);
    device.get()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00FFFFFF, 1.0f, 0);
    device.get()->SetRenderState(D3DRS_ZENABLE, TRUE);
    EXPECT_EQ(S_OK, moire->Update());
    return DrawUpdated();
  }

  // The rest of a frame whose Update has run.
  std::vector<DWORD> DrawUpdated() {
    EXPECT_EQ(S_OK, moire->Draw());
    UINT width = 0;
    std::vector<DWORD> pixels = device.ReadBack(&width);
    ApplyFrameCycleState();
    return pixels;
  }

  // Updates at the times of a frame every half second until the check has seen |count| items
  // of the channel, each drawn once in a frame where no channel is in a transition (and the
  // very first frame); the check gets the pixels of such a frame.
  void DrawEachItem(const SwitchChannel& channel, size_t count,
                    const std::function<void(const std::vector<DWORD>&)>& check) {
    std::set<int> seen;
    for (double t = 0; t < 1200 && seen.size() < count; t += 0.5) {
      clock.Set(t);
      moire->Update();
      const bool idle = moire->MeshChannel().transitionStart == 0 && moire->TextureChannel().transitionStart == 0 &&
                        moire->ColorChannel().transitionStart == 0;
      if (t > 0 && (!idle || seen.count(channel.current))) continue;
      SCOPED_TRACE(testing::Message() << "t " << t << " item " << channel.current);
      device.get()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00FFFFFF, 1.0f, 0);
      device.get()->SetRenderState(D3DRS_ZENABLE, TRUE);
      check(DrawUpdated());
      seen.insert(channel.current);
    }
    EXPECT_EQ(count, seen.size());
  }

  // The probe pixel: the clear colour plus both passes, each the texel weighted by its alpha
  // times the lit pass colour (the material's emissive plus its ambient times the ambient light).
  DWORD Expected(DWORD texel) const {
    const float ambient = (kFrameAmbient & 0xff) / 255.0f;
    const float alpha = (texel >> 24) / 255.0f;
    const DWORD clear = CMoireScreensaver::ToArgb(moire->ClearColor());
    DWORD out = 0xFF000000;
    for (int k = 0; k < 3; ++k) {
      const int shift = 16 - 8 * k;
      float value = Channel(clear, shift) / 255.0f;
      for (const auto* color : {&moire->Layer1Color(), &moire->Layer2Color()}) {
        const float lit = std::min(1.0f, (*color)[k] * (1 + ambient));
        value = std::min(1.0f, value + Channel(texel, shift) / 255.0f * alpha * lit);
      }
      out |= DWORD(value * 255 + 0.5f) << shift;
    }
    return out;
  }

  static void ExpectClose(DWORD expected, DWORD actual) {
    for (int shift : {16, 8, 0})
      EXPECT_NEAR(Channel(expected, shift), Channel(actual, shift), 2)
          << std::hex << "expected " << expected << " got " << actual;
  }

  TestDevice device{kWidth, kHeight};
  ClientWindow window{kWidth, kHeight};
  TestClock clock;
  std::unique_ptr<CMoireScreensaver> moire;
};

TEST_F(MoireDrawingTest, FramesASecondApartDifferAndNeitherIsFlat) {
  Create(ORBELLE_BIN_DIR_DEFAULT);
  for (int i = 0; i < CMoireScreensaver::kTextureCount; ++i)
    ASSERT_NE(nullptr, moire->Texture(i)) << "texture " << i << " (are the images built?)";
  const std::vector<DWORD> first = Frame(0);
  const std::vector<DWORD> second = Frame(1);
  for (const auto* frame : {&first, &second}) {
    const std::set<DWORD> colors(frame->begin(), frame->end());
    EXPECT_GE(colors.size(), 64u);
    EXPECT_EQ(0u, colors.count(0xFFFFFFFF)) << "the frame cycle's white shows through";
  }
  const auto differing = std::inner_product(first.begin(), first.end(), second.begin(), size_t{0}, std::plus<>(),
                                            [](DWORD a, DWORD b) { return size_t(a != b); });
  EXPECT_GT(differing, first.size() / 4);
}

// Four solid textures, one of them all magenta (keyed, so it adds nothing): every frame shows the
// current texture under the current colours, from the very first one.
TEST_F(MoireDrawingTest, PassesAddTheCurrentTextureUnderBothLayerColours) {
  const DWORD texels[4] = {0xFF808080, 0xFFFF4000, 0xFFFF00FF, 0xFF20C0FF};
  TempFolder folder;
  std::filesystem::create_directory(folder.path() / "image");
  const char* names[4] = {"ball.bmp", "stripes.bmp", "noise.bmp", "spiral.bmp"};
  for (int i = 0; i < 4; ++i)
    folder.Write(std::string("image/") + names[i], MakeBmp(8, 8, std::vector<DWORD>(64, texels[i])));
  Create(folder.path());

  // The first frame shows the initial scheme unfaded.
  DrawEachItem(moire->TextureChannel(), 4, [&](const std::vector<DWORD>& pixels) {
    if (moire->Time() == 0) {
      EXPECT_EQ(moire->ClearColor(), CMoireScreensaver::SchemeColors(moire->ColorChannel().current, 0)[2]);
      EXPECT_EQ(moire->Layer1Color(), CMoireScreensaver::SchemeColors(moire->ColorChannel().current, 0)[0]);
    }
    const DWORD texel = texels[moire->TextureChannel().current];
    ExpectClose(Expected(texel == 0xFFFF00FF ? 0 : texel), pixels[kProbeY * kWidth + kProbeX]);
  });
}

// Without its texture files the background draws its meshes untextured; every mesh faces the
// camera under the device's default culling.
TEST_F(MoireDrawingTest, MissingTexturesLeaveEveryMeshDrawingUntextured) {
  TempFolder folder;
  Create(folder.path());
  {
    WorkingDirectory cwd(folder.path());
    EXPECT_EQ(E_FAIL, moire->CreateResources());  // rebuilt in place, still without textures
  }
  for (int i = 0; i < CMoireScreensaver::kTextureCount; ++i) EXPECT_EQ(nullptr, moire->Texture(i));
  for (int i = 0; i < CMoireScreensaver::kMeshCount; ++i) EXPECT_NE(nullptr, moire->Mesh(i));

  DrawEachItem(moire->MeshChannel(), 3, [&](const std::vector<DWORD>& pixels) {
    ExpectClose(Expected(0xFFFFFFFF), pixels[kProbeY * kWidth + kProbeX]);
  });
}

TEST(MoireProjectionOnDevice, ComesFromTheClientRectangleCapturedAtConstruction) {
  TestDevice device(300, 500);
  ASSERT_NE(nullptr, device.get()) << "no Direct3D device (is DISPLAY set?)";
  ClientWindow tall(300, 500);
  HWND window = tall.get();
  ASSERT_NE(nullptr, window);
  TestClock clock;
  {
    CMoireScreensaver moire(device.get(), window, clock.timer());
    SetWindowPos(window, nullptr, 0, 0, 640, 200, SWP_NOMOVE | SWP_NOZORDER);  // ignored from now on
    moire.Update();
    moire.Draw();
    D3DXMATRIX actual, expected;
    device.get()->GetTransform(D3DTS_PROJECTION, &actual);
    ASSERT_TRUE(CMoireScreensaver::ProjectionFor({0, 0, 300, 500}, &expected));
    EXPECT_EQ(expected, actual);
  }
  device.get()->SetTexture(0, nullptr);
}

}  // namespace
