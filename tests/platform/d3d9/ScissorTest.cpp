// The scissor rectangle on the real device: draws and clears limited to it (cut to the back
// buffer) while the test is on, its defaults after Reset, and the test hook that ignores it.
#include <epoxy/gl.h>

#include <algorithm>

#include "support/DeviceFixture.h"

namespace {

using ScissorTest = DeviceFixture;

constexpr DWORD kBlack = 0xff000000u;
constexpr DWORD kRed = 0xffff0000u;

bool Inside(const RECT& r, LONG x, LONG y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// Counts the pixels that differ from `inside` within the rectangle and from `outside` elsewhere,
// reporting the first few.
int WrongPixels(const std::vector<DWORD>& pixels, const RECT& r, DWORD inside, DWORD outside) {
  int wrong = 0;
  for (LONG y = 0; y < LONG(480); ++y)
    for (LONG x = 0; x < LONG(640); ++x) {
      const DWORD want = Inside(r, x, y) ? inside : outside;
      const DWORD got = pixels[std::size_t(y) * 640 + std::size_t(x)];
      if (got != want && ++wrong <= 3) ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << got;
    }
  return wrong;
}

const RECT kRects[] = {
    {256, 176, 384, 304},      // inside
    {-64, -64, 64, 64},        // over the top-left corner
    {600, 440, 700, 520},      // over the bottom-right corner
    {0, 0, 640, 480},          // the whole back buffer
    {-100, -100, 1000, 1000},  // larger than the back buffer
    {700, 100, 800, 200},      // entirely right of it
    {100, -300, 200, -200},    // entirely above it
    {300, 300, 300, 400},      // zero width
    {400, 300, 300, 200},      // inverted
};

TEST_F(ScissorTest, DrawsAndClearsOnlyInsideTheRectangleCutToTheBackBuffer) {
  for (const RECT& r : kRects) {
    SCOPED_TRACE(testing::Message() << "scissor " << r.left << "," << r.top << " to " << r.right << "," << r.bottom);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->SetScissorRect(&r), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE), D3D_OK);
    DrawRect(-10, -10, 700, 500, kRed);
    EXPECT_EQ(0, WrongPixels(Pixels(), r, kRed, kBlack)) << "draw";

    // A clear of the whole target, then of two rectangles, each cut to the scissor.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00, 1.0f, 0), D3D_OK);
    EXPECT_EQ(0, WrongPixels(Pixels(), r, 0xff00ff00, kBlack)) << "whole clear";
    const D3DRECT halves[] = {{0, 0, 320, 480}, {320, 0, 640, 480}};
    ASSERT_EQ(device_->Clear(2, halves, D3DCLEAR_TARGET, 0xff0000ff, 1.0f, 0), D3D_OK);
    EXPECT_EQ(0, WrongPixels(Pixels(), r, 0xff0000ff, kBlack)) << "clear of rectangles";
  }
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ScissorTest, ARectangleSetWhileTheTestIsOffTakesEffectWhenItIsSwitchedOn) {
  const RECT r = {10, 20, 30, 40};
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0), D3D_OK);
  DrawRect(0, 0, 1, 1, kBlack);  // a draw with the test off, so the switch below is a change
  ASSERT_EQ(device_->SetScissorRect(&r), D3D_OK);
  DrawRect(0, 0, 640, 480, kRed);
  EXPECT_EQ(0, WrongPixels(Pixels(), {0, 0, 640, 480}, kRed, kBlack)) << "the test is off";
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0), D3D_OK);
  device_->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
  DrawRect(0, 0, 640, 480, kRed);
  EXPECT_EQ(0, WrongPixels(Pixels(), r, kRed, kBlack));
}

TEST_F(ScissorTest, GetReturnsTheRectangleAndNullIsRefused) {
  RECT got{};
  ASSERT_EQ(device_->GetScissorRect(&got), D3D_OK);
  EXPECT_EQ(std::make_tuple(0, 0, 640, 480), std::make_tuple(got.left, got.top, got.right, got.bottom));
  const RECT r = {-5, 7, 900, 9};
  ASSERT_EQ(device_->SetScissorRect(&r), D3D_OK);
  ASSERT_EQ(device_->GetScissorRect(&got), D3D_OK);
  EXPECT_EQ(std::make_tuple(-5, 7, 900, 9), std::make_tuple(got.left, got.top, got.right, got.bottom));
  EXPECT_EQ(device_->SetScissorRect(nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetScissorRect(nullptr), D3DERR_INVALIDCALL);
}

TEST_F(ScissorTest, ResetWhileAScissorIsSetRestoresTheWholeBackBufferWithTheTestOff) {
  const RECT r = {100, 100, 110, 110};
  device_->SetScissorRect(&r);
  device_->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
  DrawRect(0, 0, 640, 480, kRed);  // the GL scissor is now in force
  D3D9TestSetDeviceLost(device_);
  D3DPRESENT_PARAMETERS params = Params();
  ASSERT_EQ(device_->Reset(&params), D3D_OK);

  DWORD enabled = TRUE;
  RECT got{};
  ASSERT_EQ(device_->GetRenderState(D3DRS_SCISSORTESTENABLE, &enabled), D3D_OK);
  ASSERT_EQ(device_->GetScissorRect(&got), D3D_OK);
  EXPECT_EQ(DWORD{FALSE}, enabled);
  EXPECT_EQ(std::make_tuple(0, 0, 640, 480), std::make_tuple(got.left, got.top, got.right, got.bottom));
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0), D3D_OK);
  DrawRect(0, 0, 640, 480, kRed);
  EXPECT_EQ(0, WrongPixels(Pixels(), {0, 0, 640, 480}, kRed, kBlack));
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ScissorTest, TheTestHookDrawsAndClearsAsIfTheTestWereOff) {
  const RECT r = {100, 100, 200, 200};
  device_->SetScissorRect(&r);
  device_->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
  D3D9TestIgnoreScissor(device_, true);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0), D3D_OK);
  DrawRect(0, 0, 640, 480, kRed);
  EXPECT_EQ(0, WrongPixels(Pixels(), {0, 0, 640, 480}, kRed, kBlack));
  D3D9TestIgnoreScissor(device_, false);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0), D3D_OK);
  EXPECT_EQ(0, WrongPixels(Pixels(), r, kBlack, kRed));
}

}  // namespace
