#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/win32/win32.h"

TEST(MessageBox, HookCapturesTheBoxAndRestores) {
  struct Captured {
    HWND owner;
    std::u16string text, caption;
    UINT type;
  };
  std::vector<Captured> boxes;
  MessageBoxHook first =
      SetMessageBoxHook([&](HWND owner, std::u16string_view text, std::u16string_view caption, UINT type) {
        boxes.push_back({owner, std::u16string(text), std::u16string(caption), type});
        return IDYES;
      });
  EXPECT_TRUE(first);  // the test program's own guard against unexpected boxes
  EXPECT_EQ(MessageBoxW(nullptr, u"そのＩＤは予約済みなの。別のＩＤ使ってね！", nullptr, MB_OK), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, u"Not enough memory.\n\nThis sample will now exit.", u"Orbelle-Player", MB_ICONERROR),
            IDYES);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, u"そのＩＤは予約済みなの。別のＩＤ使ってね！");
  EXPECT_EQ(boxes[0].caption, u"");
  EXPECT_EQ(boxes[0].type, MB_OK);
  EXPECT_EQ(boxes[1].caption, u"Orbelle-Player");
  EXPECT_EQ(boxes[1].type, MB_ICONERROR);
  EXPECT_TRUE(SetMessageBoxHook(first));  // hands back the hook that was set
}

TEST(Time, MulDivAndTimerPeriods) {
  EXPECT_EQ(MulDiv(12, 96, 72), 16);
  EXPECT_EQ(MulDiv(1, 1, 2), 1);  // halves round away from zero
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(3, -2, 4), -2);
  EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);  // 64-bit intermediate
  EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
  EXPECT_EQ(MulDiv(5, 1, 0), -1);

  EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(timeEndPeriod(1), TIMERR_NOCANDO);  // more ends than begins
  EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);

  LARGE_INTEGER frequency{}, a{}, b{};
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency.QuadPart, 1000000000);
  QueryPerformanceCounter(&a);
  const DWORD t0 = timeGetTime();
  Sleep(2);
  QueryPerformanceCounter(&b);
  // Sleep(n) wakes on the n-th millisecond tick after the current one: the millisecond clock has
  // moved on by n, which takes more than n - 1 ms of real time.
  EXPECT_GE(static_cast<DWORD>(timeGetTime() - t0), 2u);
  EXPECT_GT(b.QuadPart - a.QuadPart, 1000000);
}

TEST(Com, InitialisationIsCountedPerThread) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}
