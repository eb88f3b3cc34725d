// Modal message boxes: the desktop's (zenity, run as a child process so that the program's
// windows stay alive while the box is up), SDL's where zenity cannot run; one redirection point
// for tests.
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/win32/ModalWait.h"
#include "platform/win32/Win32State.h"

namespace {

struct Button {
  int id;
  const char* text;
};

std::vector<Button> ButtonsOf(UINT type) {
  switch (type & 0xF) {
    case MB_OKCANCEL:
      return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE:
      return {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
    case MB_YESNOCANCEL:
      return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO:
      return {{IDYES, "Yes"}, {IDNO, "No"}};
    case MB_RETRYCANCEL:
      return {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}};
    default:
      return {{IDOK, "OK"}};
  }
}

Uint32 IconFlags(UINT type) {
  switch (type & 0xF0) {
    case MB_ICONERROR:
      return SDL_MESSAGEBOX_ERROR;
    case MB_ICONWARNING:
      return SDL_MESSAGEBOX_WARNING;
    case MB_ICONINFORMATION:
    case MB_ICONQUESTION:
      return SDL_MESSAGEBOX_INFORMATION;
    default:
      return 0;
  }
}

const char* IconName(UINT type) {
  switch (type & 0xF0) {
    case MB_ICONERROR:
      return "dialog-error";
    case MB_ICONWARNING:
      return "dialog-warning";
    case MB_ICONQUESTION:
      return "dialog-question";
    default:
      return "dialog-information";
  }
}

// The desktop's box goes to the display the program's windows are on. zenity cannot tell a box
// closed from a display it could not open (both exit with 1), so before SDL video runs on a real
// display SDL's box is used, which reports when it cannot be shown.
bool OnDesktop() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
}

}  // namespace

std::vector<std::string> Win32MessageBoxArguments(const std::string& title, const std::string& text, UINT type) {
  const std::vector<Button> buttons = ButtonsOf(type);
  std::vector<std::string> args = {"zenity"};
  if (buttons.size() == 1) {
    const UINT icon = type & 0xF0;
    args.push_back(icon == MB_ICONERROR ? "--error" : icon == MB_ICONWARNING ? "--warning" : "--info");
  } else {
    // Only the box's own buttons, in order; the one pressed prints its label.
    args.insert(args.end(), {"--question", "--switch", std::string("--icon-name=") + IconName(type)});
    for (const Button& b : buttons) args.push_back(std::string("--extra-button=") + b.text);
  }
  args.insert(args.end(), {"--no-markup", "--title=" + title, "--text=" + text});
  return args;
}

int Win32MessageBoxResult(UINT type, const std::string& output) {
  const std::vector<Button> buttons = ButtonsOf(type);
  if (buttons.size() == 1) return buttons[0].id;  // OK, whether pressed or the box was closed
  std::string label = output;
  while (!label.empty() && (label.back() == '\n' || label.back() == '\r')) label.pop_back();
  for (const Button& b : buttons)
    if (label == b.text) return b.id;
  // Closed without a button: the box's Cancel or No, as Escape gives on Windows.
  for (const Button& b : buttons)
    if (b.id == IDCANCEL) return IDCANCEL;
  for (const Button& b : buttons)
    if (b.id == IDNO) return IDNO;
  return IDCANCEL;
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
  auto& s = Win32State();
  std::lock_guard lock(s.hookMutex);
  MessageBoxHook previous = std::move(s.messageBoxHook);
  s.messageBoxHook = std::move(hook);
  return previous;
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  auto& s = Win32State();
  MessageBoxHook hook;
  {
    std::lock_guard lock(s.hookMutex);
    hook = s.messageBoxHook;
  }
  const std::u16string_view textView = text ? std::u16string_view(text) : std::u16string_view();
  if (hook) return hook(owner, textView, caption ? std::u16string_view(caption) : std::u16string_view(), type);

  const std::string title = caption ? Win32ToUtf8(caption) : std::string("Error");
  const std::string message = Win32ToUtf8(textView);
  if (OnDesktop()) {
    const Win32DialogResult run =
        Win32RunDialog(Win32MessageBoxArguments(title, message, type), Win32DialogEnvironment());
    if (run.spawnError == 0 && (run.ended || run.exitCode == 0 || run.exitCode == 1))
      return Win32MessageBoxResult(type, run.output);
  }

  // No desktop box: SDL's own, which blocks the window's thread until it is closed.
  const std::vector<Button> buttons = ButtonsOf(type);
  std::vector<SDL_MessageBoxButtonData> data;
  const int defaultIndex = (type & MB_DEFBUTTON2) && buttons.size() > 1 ? 1 : 0;
  int escapeId = buttons.size() == 1 ? buttons[0].id : 0;
  for (const Button& b : buttons)
    if (b.id == IDCANCEL || b.id == IDNO) escapeId = b.id;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    Uint32 flags = 0;
    if (static_cast<int>(i) == defaultIndex) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (buttons[i].id == escapeId) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    data.push_back({flags, buttons[i].id, buttons[i].text});
  }
  const SDL_MessageBoxData box{IconFlags(type) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT,
                               Win32SdlWindow(owner),
                               title.c_str(),
                               message.c_str(),
                               static_cast<int>(data.size()),
                               data.data(),
                               nullptr};
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) != 0) {
    // Nothing can be shown: keep the message where someone can still read it.
    std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
    return 0;
  }
  return pressed > 0 ? pressed : (escapeId ? escapeId : IDCANCEL);
}
