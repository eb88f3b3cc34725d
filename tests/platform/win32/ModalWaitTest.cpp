// Dialogs run as child processes: their results, and a window kept alive while one is up.
#include "platform/win32/ModalWait.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "TestWindow.h"
#include "platform/win32/SdlWindow.h"
#include "platform/win32/win32.h"
#include "support/WaitUntil.h"

namespace {

void PushWindowEvent(HWND hwnd, Uint8 event) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = event;
  e.window.windowID = SDL_GetWindowID(Win32SdlWindow(hwnd));
  SDL_PushEvent(&e);
}

void PushQuit() {
  SDL_Event e{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
}

// Runs a command on the test display and returns its first line of output.
std::string RunLine(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    if (fgets(buffer, sizeof buffer, pipe)) out = buffer;
    pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

}  // namespace

TEST(ModalWait, ADialogGivesBackItsOutputAndExitCodeOnAnyThread) {
  const std::vector<std::string> printsAndFails = {"sh", "-c", "printf 'a\\nb'; exit 3"};
  Win32DialogResult onThisThread = Win32RunDialog(printsAndFails, Win32DialogEnvironment());
  EXPECT_EQ(onThisThread.spawnError, 0);
  EXPECT_FALSE(onThisThread.ended);
  EXPECT_EQ(onThisThread.exitCode, 3);
  EXPECT_EQ(onThisThread.output, "a\nb");

  Win32DialogResult onAnother;
  std::thread([&] { onAnother = Win32RunDialog({"sh", "-c", "echo $LC_ALL"}, Win32DialogEnvironment()); }).join();
  EXPECT_EQ(onAnother.exitCode, 0);
  EXPECT_NE(onAnother.output.find("UTF-8"), std::string::npos) << onAnother.output;

  EXPECT_NE(Win32RunDialog({"orbelle-no-such-dialog"}, {}).spawnError, 0);
}

TEST(ModalWait, WhileADialogIsUpTheWindowIsRepaintedItsInputDroppedAndAQuitEndsTheDialog) {
  TestWindow w;
  w.Pump();
  TestWindow::Messages().clear();
  int repaints = 0;
  // The repaint is the proof that the window's events are pumped; it then asks the program to
  // close, as SIGTERM does through SDL.
  const int id = Win32AddRepaintHandler(w.hwnd, [&] {
    if (++repaints == 1) PushQuit();
  });
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.windowID = SDL_GetWindowID(Win32SdlWindow(w.hwnd));
  key.key.keysym.scancode = SDL_SCANCODE_A;
  key.key.keysym.sym = SDLK_a;
  SDL_PushEvent(&key);
  PushWindowEvent(w.hwnd, SDL_WINDOWEVENT_EXPOSED);

  const Win32DialogResult result = Win32RunDialog({"sleep", "30"}, {});
  Win32RemoveRepaintHandler(id);
  // The X server's own expose of the new window may come on top of the pushed one (late, on a
  // busy machine) and repaint once more before the quit is seen.
  EXPECT_GE(repaints, 1);
  EXPECT_TRUE(result.ended) << "the dialog ran to its end";
  EXPECT_EQ(result.exitCode, -1);

  // The close waits in the queue for the program's own loop; the key pressed meanwhile is gone.
  w.Pump();
  EXPECT_EQ(TestWindow::Only({WM_CLOSE}).size(), 1u);
  EXPECT_TRUE(TestWindow::Only({WM_KEYDOWN, WM_CHAR}).empty());
}

TEST(ModalWait, ClosingTheWindowEndsTheDialog) {
  TestWindow w;
  w.Pump();
  TestWindow::Messages().clear();
  PushWindowEvent(w.hwnd, SDL_WINDOWEVENT_CLOSE);
  EXPECT_TRUE(Win32RunDialog({"sleep", "30"}, {}).ended);
  w.Pump();
  EXPECT_EQ(TestWindow::Only({WM_CLOSE}).size(), 1u);
}

TEST(MessageBox, ButtonsBecomeTheDesktopBoxsArgumentsAndItsOutputTheButtonId) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(Win32MessageBoxArguments("Caption", "a <b>\nline", MB_ICONERROR),
            (Args{"zenity", "--error", "--no-markup", "--title=Caption", "--text=a <b>\nline"}));
  EXPECT_EQ(Win32MessageBoxArguments("C", "t", MB_OK)[1], "--info");
  EXPECT_EQ(Win32MessageBoxArguments("C", "t", MB_ICONWARNING)[1], "--warning");
  EXPECT_EQ(Win32MessageBoxArguments("C", "t", MB_YESNOCANCEL | MB_ICONQUESTION),
            (Args{"zenity", "--question", "--switch", "--icon-name=dialog-question", "--extra-button=Yes",
                  "--extra-button=No", "--extra-button=Cancel", "--no-markup", "--title=C", "--text=t"}));

  const struct {
    UINT type;
    const char* output;
    int id;
  } results[] = {
      {MB_OK, "", IDOK},
      {MB_ICONERROR, "\n", IDOK},
      {MB_YESNO, "Yes\n", IDYES},
      {MB_YESNO, "No\n", IDNO},
      {MB_YESNO, "", IDNO},  // closed without a button
      {MB_YESNOCANCEL, "", IDCANCEL},
      {MB_OKCANCEL, "OK\n", IDOK},
      {MB_ABORTRETRYIGNORE, "Retry\n", IDRETRY},
      {MB_ABORTRETRYIGNORE, "", IDCANCEL},
      {MB_RETRYCANCEL, "Something else\n", IDCANCEL},
  };
  for (const auto& r : results) {
    SCOPED_TRACE(std::to_string(r.type) + " [" + r.output + "]");
    EXPECT_EQ(Win32MessageBoxResult(r.type, r.output), r.id);
  }
}

TEST(MessageBox, TheDesktopBoxAnswersWithTheButtonPressedAndAQuitClosesIt) {
  TestWindow w;
  w.Pump();
  const MessageBoxHook previous = SetMessageBoxHook(nullptr);
  // A person presses the second button of the box.
  std::thread person([] {
    std::string box;
    WaitUntil([&] { return !(box = RunLine("xdotool search --onlyvisible --class zenity 2>/dev/null")).empty(); });
    if (box.empty()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // until the box takes keys
    RunLine("xdotool windowfocus --sync " + box + " key Tab Return");
  });
  const int answer = MessageBoxW(w.hwnd, u"残しますか?", u"Orbelle-Player", MB_YESNO | MB_ICONQUESTION);
  person.join();
  EXPECT_EQ(answer, IDNO);

  PushQuit();
  EXPECT_EQ(MessageBoxW(w.hwnd, u"text", u"caption", MB_OKCANCEL), IDCANCEL);
  SetMessageBoxHook(previous);
}
