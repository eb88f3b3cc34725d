// Drops as SDL reports them (the layer just below the window system) become WM_DROPFILES.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/Paths.h"
#include "platform/win32/SdlWindow.h"
#include "tests/platform/win32/TestWindow.h"

namespace {

// One drop of the given native names on the window, as SDL's X11 driver delivers it.
void PushDrop(HWND hwnd, const std::vector<std::string>& names) {
  const Uint32 id = SDL_GetWindowID(Win32SdlWindow(hwnd));
  SDL_Event e{};
  e.drop.windowID = id;
  e.type = SDL_DROPBEGIN;
  SDL_PushEvent(&e);
  for (const std::string& name : names) {
    e.type = SDL_DROPFILE;
    e.drop.file = SDL_strdup(name.c_str());  // the receiver frees it
    SDL_PushEvent(&e);
  }
  e.type = SDL_DROPCOMPLETE;
  e.drop.file = nullptr;
  SDL_PushEvent(&e);
}

std::vector<HDROP> PumpDrops(TestWindow& w) {
  TestWindow::Messages().clear();
  w.Pump();
  std::vector<HDROP> drops;
  for (const RecordedMessage& m : TestWindow::Only({WM_DROPFILES})) drops.push_back(reinterpret_cast<HDROP>(m.wParam));
  return drops;
}

}  // namespace

TEST(DropFiles, ADropOnAnAcceptingWindowGivesEveryNameLosslessly) {
  TestWindow w;
  DragAcceptFiles(w.hwnd, TRUE);
  const std::vector<std::string> names = {"/tmp/a b/日本.jpg", "/tmp/raw\xff\xfe.bmp", "/tmp/back\\slash.gif"};
  PushDrop(w.hwnd, names);
  const std::vector<HDROP> drops = PumpDrops(w);
  ASSERT_EQ(1u, drops.size()) << "one message for the whole drop";
  HDROP drop = drops[0];

  ASSERT_EQ(3u, DragQueryFileW(drop, 0xFFFFFFFFu, nullptr, 0));
  WCHAR buffer[64];
  EXPECT_EQ(15u, DragQueryFileW(drop, 0, buffer, 64));
  EXPECT_EQ(u"\\tmp\\a b\\日本.jpg", std::u16string(buffer));
  for (UINT i = 0; i < 3; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::u16string name(length + 1, u'?');
    EXPECT_EQ(length, DragQueryFileW(drop, i, name.data(), length + 1));
    name.resize(length);
    EXPECT_EQ(names[i], Win32ToNativePath(name)) << "name " << i << " did not round-trip";
  }

  // A short buffer takes a terminated prefix; out-of-range numbers give nothing.
  WCHAR small[5] = {u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(4u, DragQueryFileW(drop, 0, small, 5));
  EXPECT_EQ(u"\\tmp", std::u16string(small));
  EXPECT_EQ(0u, DragQueryFileW(drop, 0, small, 0));
  EXPECT_EQ(0u, DragQueryFileW(drop, 3, small, 5));

  DragFinish(drop);
  EXPECT_EQ(0u, DragQueryFileW(drop, 0xFFFFFFFFu, nullptr, 0)) << "a finished drop is gone";
}

TEST(DropFiles, WindowsThatDoNotAcceptFilesGetNothing) {
  TestWindow w;
  PushDrop(w.hwnd, {"/tmp/never.jpg"});
  EXPECT_TRUE(PumpDrops(w).empty());

  DragAcceptFiles(w.hwnd, TRUE);
  PushDrop(w.hwnd, {});  // a drop that held only text
  EXPECT_TRUE(PumpDrops(w).empty());

  DragAcceptFiles(w.hwnd, FALSE);
  PushDrop(w.hwnd, {"/tmp/never.jpg"});
  EXPECT_TRUE(PumpDrops(w).empty());

  EXPECT_EQ(0u, DragQueryFileW(nullptr, 0xFFFFFFFFu, nullptr, 0));
  DragFinish(nullptr);
}
