// The edge guard on real stand-in calls: with allocations failing at every point in turn, a
// creation call answers E_OUTOFMEMORY (never an exception), leaves its out pointer null and
// takes no reference on its parent; once memory suffices it succeeds.
#include <gtest/gtest.h>

#include <functional>

#include "FailingAllocations.h"
#include "platform/d3dx9/d3dx9.h"
#include "platform/dinput/dinput.h"
#include "platform/kit/Guarded.h"
#include "support/TestDevice.h"

namespace {

// The parent's count as AddRef and Release report it.
ULONG Count(IUnknown* parent) {
  parent->AddRef();
  return parent->Release();
}

// Calls create with allocations failing from the n-th on, for n = 0, 1, ... until it
// succeeds; create hands back what it made (released here) or null. Returns the failures.
int SweepAllocationFailures(IUnknown* parent, const std::function<HRESULT(IUnknown**)>& create) {
  const ULONG before = Count(parent);
  for (int n = 0; n < 100000; ++n) {
    SCOPED_TRACE(n);
    IUnknown* made = reinterpret_cast<IUnknown*>(1);
    HRESULT hr;
    bool refused;
    {
      FailAllocationsFrom fail(n);
      hr = create(&made);
      refused = FailAllocationsFrom::Refused();
    }
    if (!refused) {
      EXPECT_EQ(S_OK, hr);
      if (SUCCEEDED(hr)) made->Release();
      EXPECT_EQ(before, Count(parent));
      return n;
    }
    if (SUCCEEDED(hr)) {
      made->Release();  // the call got by without the refused allocation
    } else {
      EXPECT_EQ(E_OUTOFMEMORY, hr);
      EXPECT_EQ(nullptr, made);
    }
    EXPECT_EQ(before, Count(parent)) << "a failed call kept a reference on its parent";
    if (::testing::Test::HasFailure()) return n;
  }
  ADD_FAILURE() << "the call never succeeded";
  return 0;
}

}  // namespace

TEST(GuardedTest, ExceptionsBecomeResultCodes) {
  EXPECT_EQ(E_OUTOFMEMORY, kit::Guarded([]() -> HRESULT { throw std::bad_alloc(); }));
  EXPECT_EQ(E_FAIL, kit::Guarded([]() -> HRESULT { throw 1; }));
  EXPECT_EQ(S_FALSE, kit::Guarded([] { return S_FALSE; }));
  EXPECT_EQ(-1, kit::Guarded(-1, []() -> int { throw std::bad_alloc(); }));
}

TEST(GuardedTest, DirectInputDevicesMadeWithoutMemoryFailCleanly) {
  IDirectInput8W* input = nullptr;
  ASSERT_EQ(DI_OK, DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8W,
                                      reinterpret_cast<void**>(&input), nullptr));
  for (const GUID* guid : {&GUID_SysKeyboard, &GUID_SysMouse}) {
    const int failures = SweepAllocationFailures(input, [&](IUnknown** made) {
      IDirectInputDevice8W* device = nullptr;
      const HRESULT hr = input->CreateDevice(*guid, &device, nullptr);
      *made = device;
      return hr;
    });
    EXPECT_GT(failures, 0) << "no allocation was made, so none could fail";
  }
  EXPECT_EQ(0u, input->Release());
}

TEST(GuardedTest, FontsMadeAndDrawnWithoutMemoryFailCleanly) {
  TestDevice device(320, 240);
  ASSERT_NE(nullptr, device.get());
  const auto createFont = [&](ID3DXFont** font) {
    return D3DXCreateFontW(device.get(), 16, 0, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           ANTIALIASED_QUALITY, DEFAULT_PITCH, u"DejaVu Sans", font);
  };
  const int failures = SweepAllocationFailures(device.get(), [&](IUnknown** made) {
    ID3DXFont* font = nullptr;
    const HRESULT hr = createFont(&font);
    *made = font;
    return hr;
  });
  EXPECT_GT(failures, 0);

  // Text drawn without memory is not drawn (height 0), and the font still draws afterwards.
  ID3DXFont* font = nullptr;
  ASSERT_EQ(S_OK, createFont(&font));
  ASSERT_EQ(D3D_OK, device.get()->BeginScene());
  RECT rect{0, 0, 320, 240};
  {
    FailAllocationsFrom fail(0);
    EXPECT_EQ(0, font->DrawTextW(nullptr, u"Orbelle", -1, &rect, DT_LEFT | DT_TOP, 0xFFFFFFFF));
  }
  EXPECT_GT(font->DrawTextW(nullptr, u"Orbelle", -1, &rect, DT_LEFT | DT_TOP, 0xFFFFFFFF), 0);
  EXPECT_EQ(D3D_OK, device.get()->EndScene());
  EXPECT_EQ(0u, font->Release());
}
