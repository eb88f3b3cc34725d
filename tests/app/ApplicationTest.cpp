// The application object on a real window and device, in this process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MyD3DApplication.h"
#include "platform/d3d9/d3d9_testing.h"
#include "platform/win32/win32.h"

namespace {

class RecordingApp : public CMyD3DApplication {
 public:
  HRESULT DrawFrame() override {
    const HRESULT hr = CMyD3DApplication::DrawFrame();
    ++frames;
    if (loseDeviceAtFrame && frames == loseDeviceAtFrame) D3D9TestSetDeviceLost(Device());
    if (closeAfterRestores && restores >= closeAfterRestores && !closing) {
      closing = true;
      PostMessageW(MainWindow(), WM_CLOSE, 0, 0);
    }
    return hr;
  }
  HRESULT RestoreDeviceResources() override {
    ++restores;
    return CMyD3DApplication::RestoreDeviceResources();
  }
  HRESULT LoseDeviceResources() override {
    ++losses;
    return CMyD3DApplication::LoseDeviceResources();
  }

  int loseDeviceAtFrame = 0;
  int closeAfterRestores = 0;
  bool closing = false;
  int frames = 0, restores = 0, losses = 0;
};

// Takes the quit message a close leaves in the queue, so a later loop in this process runs.
void DrainQueue() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

struct CapturedBoxes {
  CapturedBoxes() {
    previous = SetMessageBoxHook([this](HWND, std::u16string_view text, std::u16string_view caption, UINT) {
      texts.emplace_back(text);
      captions.emplace_back(caption);
      return IDOK;
    });
  }
  ~CapturedBoxes() { SetMessageBoxHook(previous); }
  std::vector<std::u16string> texts, captions;
  MessageBoxHook previous;
};

}  // namespace

TEST(Application, CreatesTheTitledWindowWithA640x480BackBuffer) {
  CapturedBoxes boxes;
  RecordingApp app;
  ASSERT_EQ(S_OK, app.CreateApp(GetModuleHandleW(nullptr)));
  EXPECT_TRUE(boxes.texts.empty());
  EXPECT_FALSE(app.IsLoading());
  EXPECT_TRUE(app.IsActive());
  WCHAR title[64] = {};
  GetWindowTextW(app.MainWindow(), title, 64);
  EXPECT_EQ(u"ようこそ.bmp - Orbelle-Player", std::u16string(title));  // the welcome picture is open
  RECT client;
  GetClientRect(app.MainWindow(), &client);
  EXPECT_EQ(640, client.right - client.left);
  EXPECT_EQ(480, client.bottom - client.top);
  EXPECT_EQ(640u, app.BackBufferDesc().Width);
  EXPECT_EQ(480u, app.BackBufferDesc().Height);
  EXPECT_EQ(1, app.restores);
  SendMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(nullptr, app.MainWindow());
  EXPECT_TRUE(boxes.texts.empty());  // every reference was released
  DrainQueue();
}

TEST(Application, ReleasingTheDeviceWithALeakedReferenceIsReported) {
  CapturedBoxes boxes;
  RecordingApp app;
  ASSERT_EQ(S_OK, app.CreateApp(GetModuleHandleW(nullptr)));
  IDirect3DDevice9* device = app.Device();
  device->AddRef();
  SendMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
  ASSERT_EQ(1u, boxes.texts.size());
  EXPECT_EQ(
      u"A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up).\n\nThis sample "
      u"will now exit.",
      boxes.texts[0]);
  EXPECT_EQ(u"Orbelle-Player", boxes.captions[0]);
  // The leaked reference is left alone: its window is gone, as after a real leak.
  DrainQueue();
}

TEST(Application, ALostDeviceIsResetAndFramesGoOn) {
  RecordingApp app;
  app.loseDeviceAtFrame = 2;
  app.closeAfterRestores = 2;
  ASSERT_EQ(S_OK, app.CreateApp(GetModuleHandleW(nullptr)));
  EXPECT_EQ(0, app.RunLoop());
  EXPECT_TRUE(app.closing);
  EXPECT_EQ(2, app.restores);  // the first restore, then the one after the reset
  EXPECT_EQ(2, app.losses);    // before the reset, and at close
  EXPECT_GE(app.frames, 3);    // frames resumed after the reset
}
