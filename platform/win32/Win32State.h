// Private state of the Win32 layer: one struct owned by the layer, reached through Win32State().
// Not for use outside platform/win32.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/win32/SdlWindow.h"
#include "platform/win32/win32.h"

struct SDL_Window;
struct SDL_Surface;
struct SDL_Cursor;
struct SDL_Keysym;
struct SDL_DropEvent;

struct WindowClass {
  WNDCLASSW wc{};
  std::u16string name;
  ATOM atom = 0;
};

struct Frame {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct HWND__ {
  SDL_Window* sdl = nullptr;
  std::uint32_t sdlId = 0;
  std::shared_ptr<const WindowClass> cls;
  WNDPROC proc = nullptr;
  LONG style = 0;
  LONG exStyle = 0;
  LONG_PTR userData = 0;
  std::u16string title;
  int clientW = 0, clientH = 0;  // the client size last reported with WM_SIZE
  bool needsPaint = false;
  bool destroying = false;
  bool acceptsFiles = false;             // DragAcceptFiles
  SDL_Surface* erasedSurface = nullptr;  // the window surface already erased with the class brush
};

struct HDC__ {
  HWND hwnd = nullptr;  // null: the screen
  COLORREF textColor = 0x000000;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  bool drawn = false;
};

// The names of one drop, in Windows form.
struct HDROP__ {
  std::vector<std::u16string> files;
};

struct HACCEL__ {
  std::vector<ACCEL> entries;
};

// Cursors and icons: a standard system cursor shape, or an icon without image.
struct HICON__ {
  int systemCursor = -1;  // SDL_SystemCursor, -1 for icons
  SDL_Cursor* sdl = nullptr;
};

struct RepaintHandler {
  int id;
  HWND hwnd;
  std::function<void()> repaint;
};

struct Win32StateData {
  // Windows and classes (window's thread).
  std::map<std::u16string, std::shared_ptr<WindowClass>> classes;  // key: name folded to lower case
  ATOM nextAtom = 0xC000;
  std::vector<std::unique_ptr<HWND__>> windows;
  int videoRefs = 0;
  bool videoHeld = false;  // one extra SDL video reference kept for the process
  Frame lastCaptionFrame;
  bool haveCaptionFrame = false;

  // Message queue. The queue itself may be posted to from any thread.
  std::mutex queueMutex;
  std::condition_variable queueWake;
  std::deque<MSG> queue;
  bool quitPosted = false;
  int quitCode = 0;
  std::atomic<std::uint32_t> wakeEventType{0};  // SDL user event that wakes a waiting GetMessageW

  std::vector<std::pair<int, SdlEventListener>> listeners;
  int nextListenerId = 1;
  std::atomic<std::thread::id> windowThread{};  // the thread that started SDL video and pumps its events
  std::vector<RepaintHandler> repaintHandlers;
  int nextRepaintId = 1;

  // Dropped files (window's thread): the native names of the drop in progress, and the drops
  // handed to windows and not yet finished.
  std::vector<std::string> droppingNames;
  std::vector<std::unique_ptr<HDROP__>> drops;

  // Accelerators.
  std::map<WORD, std::vector<ACCEL>> acceleratorResources;
  std::vector<std::unique_ptr<HACCEL__>> acceleratorTables;

  // Cursors and icons (fixed handles).
  HICON__ icon;
  HICON__ cursors[5] = {{0}, {1}, {2}, {3}, {11}};  // arrow, I-beam, wait, cross, hand
  int cursorCount = 0;
  HCURSOR currentCursor = &cursors[0];  // the arrow, as SDL starts
  bool haveClip = false;
  RECT clip{};

  // GDI.
  std::vector<std::unique_ptr<HDC__>> dcs;

  // Every window's scale (DisplayScale.h): screen pixels per program pixel in each direction.
  int scale = 1;

  // Message boxes (any thread).
  std::mutex hookMutex;
  MessageBoxHook messageBoxHook;
};

Win32StateData& Win32State();

// Window record for a handle, or null for null, unknown or destroyed handles.
HWND__* Win32FindWindow(HWND hwnd);
// Makes the SDL window's border and resizability follow the stored style. SDL ignores border
// changes while a window is fullscreen, so this runs again when it leaves fullscreen.
void Win32ApplyStyle(HWND__* w);
// A screen coordinate or size in the program's pixels (rounded down), and back, at the windows'
// scale (DisplayScale.h).
int Win32Logical(int device);
int Win32Device(int logical);
// Frame of a live window as the window system reports it, in the program's pixels (rounded up, so
// that a frame stays a frame); zero without a window manager.
Frame Win32WindowFrame(HWND__* w);
// Queues a message at the end of the queue (any thread) and wakes a waiting GetMessageW.
void Win32QueueMessage(const MSG& msg);
// Drops queued messages for a window being destroyed.
void Win32DropMessages(HWND hwnd);
// Collects the names of a drop and queues WM_DROPFILES when it completes; frees SDL's name.
void Win32TranslateDropEvent(const SDL_DropEvent& event);
// One round of the event pump while a modal dialog runs (see ModalWait.h): window events are
// handled and exposed windows repainted, input is dropped. True when the program was asked to
// close (a quit or a window's close); the close messages are queued.
bool Win32PumpWhileModal();
// The same round for a wait that is not a dialog's: window events are handled; a close request
// is reported (true) but left queued, as is everything else (input), for what runs next.
bool Win32PumpKeepingInput();
// Shows a window's last picture again through its repaint handler, if it has one.
void Win32Repaint(HWND hwnd);
// Sends WM_SIZE when the client size differs from the last one reported.
void Win32ReportClientSize(HWND hwnd, WPARAM type, bool always);
// The SDL cursor of a cursor handle (created on first use).
SDL_Cursor* Win32SdlCursor(HCURSOR cursor);
// The VK_ code of an SDL key; 0 for keys without one.
int Win32VkFromSdl(const SDL_Keysym& key);
// UTF-16 (lone surrogates as U+FFFD) to UTF-8 for SDL and back.
std::string Win32ToUtf8(std::u16string_view text);
std::u16string Win32FromUtf8(std::string_view text);
// One UTF-8 sequence at s[at]: the code point, with length 0 when the bytes there are not UTF-8.
char32_t Win32DecodeUtf8(std::string_view s, std::size_t at, std::size_t& length);
// Appends a code point as one UTF-16 unit or a surrogate pair.
void Win32AppendUtf16(std::u16string& out, char32_t cp);
// Case folding used for comparisons and wildcard matching.
char16_t Win32FoldCase(char16_t c);
