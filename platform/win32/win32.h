// The Win32 calls the program makes, with their Windows names and signatures, on SDL2 (windows,
// events, cursor, message boxes), POSIX (files, folders, time), fontconfig and FreeType (GDI text,
// its face found through the font lookup that D3DX fonts share, platform/fontlookup).
//
// Threads: window, message, cursor, GDI and accelerator calls belong to the thread that created the
// windows (the window's thread). PostMessageW, MessageBoxW, the time, string, file and path calls
// may run on any thread. Wide strings are UTF-16 (WCHAR = char16_t); text crosses to SDL as UTF-8.
//
// Failures follow Windows: a null handle, FALSE or 0 (and INVALID_HANDLE_VALUE for files and
// searches), with the reason in GetLastError.
//
// Paths inside the program have Windows form ("image\font.png", "\" separators, no drive letters).
// File calls convert them to native form at the system boundary and names coming back are
// converted the other way, without loss (see platform/win32/Paths.h).
#pragma once

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kit/wintypes.h"

using ATOM = WORD;
using HGDIOBJ = void*;
using LPCRECT = const RECT*;
using errno_t = int;
using LCID = DWORD;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using MMRESULT = UINT;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// ---- Errors ---------------------------------------------------------------------------------
#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_NO_MORE_FILES 18u
#define ERROR_GEN_FAILURE 31u
#define ERROR_HANDLE_EOF 38u
#define ERROR_NOT_SUPPORTED 50u
#define ERROR_FILE_EXISTS 80u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_INVALID_NAME 123u
#define ERROR_ALREADY_EXISTS 183u
#define ERROR_FILENAME_EXCED_RANGE 206u
#define ERROR_NO_UNICODE_TRANSLATION 1113u
#define ERROR_INVALID_WINDOW_HANDLE 1400u
#define ERROR_INVALID_ACCEL_HANDLE 1403u
#define ERROR_CLASS_ALREADY_EXISTS 1410u
#define ERROR_CLASS_DOES_NOT_EXIST 1411u
#define ERROR_CANNOT_FIND_WND_CLASS 1407u
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814u
#define ERROR_DEVICE_NOT_CONNECTED 1167u

// Last error of the calling thread.
DWORD GetLastError();
void SetLastError(DWORD code);

// ---- Modules and components ---------------------------------------------------------------
// GetModuleHandleW(NULL): the program's own instance handle (never null). Named modules: null.
HMODULE GetModuleHandleW(LPCWSTR moduleName);
// The program file's full path (from /proc/self/exe, in Windows form) for a null module. Returns
// the length without terminator; when the buffer is too small it holds the cut path, the result is
// the buffer size and the last error ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

// Counted per thread: S_OK for the first call on a thread, S_FALSE for further ones; each needs a
// CoUninitialize. Nothing else is set up: CoCreateInstance knows its few classes directly.
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
void CoUninitialize();
// Nothing to initialise on Linux: the program uses no common controls of its own.
void InitCommonControls();

// ---- Windows --------------------------------------------------------------------------------
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_MAXIMIZE 0x01000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_OVERLAPPEDWINDOW 0x00CF0000u
#define WS_POPUPWINDOW 0x80880000u
#define WS_EX_TOPMOST 0x00000008u
#define CW_USEDEFAULT (static_cast<int>(0x80000000u))

#define GWL_WNDPROC (-4)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_USERDATA (-21)
#define GWLP_WNDPROC (-4)
#define GWLP_USERDATA (-21)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

#define HWND_TOP (reinterpret_cast<HWND>(0))
#define HWND_BOTTOM (reinterpret_cast<HWND>(1))
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2)))
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_FRAMECHANGED 0x0020u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define SWP_NOOWNERZORDER 0x0200u

#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u
#define CS_OWNDC 0x0020u

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};

struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};

struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

// Classes are per process, looked up by name without regard to case. Returns the class atom, or 0
// (ERROR_CLASS_ALREADY_EXISTS, ERROR_INVALID_PARAMETER for a missing name or procedure).
ATOM RegisterClassW(const WNDCLASSW* wc);
// Fails (ERROR_CLASS_DOES_NOT_EXIST) for an unknown class; a class with live windows stays.
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);

// Creates one SDL window (OpenGL capable: OpenGL 3.3 core, double-buffered, 8-bit RGB attributes
// are set before creation so that a graphics layer can create its context on it). Initialises SDL
// video on first use (counted; released when the window is destroyed). nWidth/nHeight are the outer
// size as AdjustWindowRect gives it, so the client area is the size asked for there. CW_USEDEFAULT
// lets the window system place it. The procedure receives WM_CREATE (returning -1 fails the
// creation), WM_GETMINMAXINFO (its minimum tracking size becomes the window's minimum) and WM_SIZE.
// Visible when the style has WS_VISIBLE. WS_POPUP without WS_CAPTION gives a borderless window;
// WS_THICKFRAME a resizable one. Child windows are not supported (null, ERROR_NOT_SUPPORTED). With
// no display (SDL falls back to its offscreen or dummy driver without being asked to through
// SDL_VIDEODRIVER) it says so on stderr and fails with ERROR_DEVICE_NOT_CONNECTED.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY and WM_NCDESTROY, drops the window's queued messages and closes the SDL window.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);

// The window frame is the window manager's. The frame size is the one SDL reports for the window
// (SDL_GetWindowBordersSize; zero without a window manager); AdjustWindowRect uses the last frame
// seen on a captioned window (zero before any), so that outer sizes computed with it give back the
// client size asked for.
BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu);
BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle);
// Screen coordinates of the window including its frame.
BOOL GetWindowRect(HWND hwnd, LPRECT rect);
// (0, 0, client width, client height).
BOOL GetClientRect(HWND hwnd, LPRECT rect);
BOOL ClientToScreen(HWND hwnd, LPPOINT point);
BOOL ScreenToClient(HWND hwnd, LPPOINT point);
// GWL_STYLE applies at once: a style with WS_CAPTION is bordered (resizable with WS_THICKFRAME),
// any other borderless. GWL_EXSTYLE WS_EX_TOPMOST keeps the window above others. Returns the
// previous value; 0 with ERROR_INVALID_WINDOW_HANDLE for a bad window.
LONG GetWindowLongW(HWND hwnd, int index);
LONG SetWindowLongW(HWND hwnd, int index, LONG value);
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
// Outer position and size as GetWindowRect measures them. A client size change sends WM_SIZE
// before returning. HWND_TOPMOST/HWND_NOTOPMOST set or clear always-on-top; other z-order requests
// raise the window unless SWP_NOZORDER.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
// Returns whether the window was visible before. Minimise, maximise and restore reach the window
// procedure as WM_SIZE through the message queue (the window system does them asynchronously).
BOOL ShowWindow(HWND hwnd, int cmdShow);
BOOL UpdateWindow(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
HWND GetForegroundWindow();
HWND SetFocus(HWND hwnd);
HWND GetFocus();
// Marks the window for a WM_PAINT.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
// The title is kept exactly; SDL gets it as UTF-8. GetWindowTextW returns the length copied.
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount);
int GetWindowTextLengthW(HWND hwnd);

// X11 windows have no menu bar: LoadMenuW returns null, GetMenu null, SetMenu and DestroyMenu
// accept only null and return TRUE for it.
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
HMENU GetMenu(HWND hwnd);
BOOL SetMenu(HWND hwnd, HMENU menu);
BOOL DestroyMenu(HMENU menu);

// Icons carry no image here: LoadIconW gives a non-null handle for any name (the window system
// draws its own icon). LoadCursorW(NULL, IDC_ARROW and the other standard ids) gives the system
// cursor of that shape; null for other names.
#define IDI_APPLICATION MAKEINTRESOURCEW(32512)
#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_IBEAM MAKEINTRESOURCEW(32513)
#define IDC_WAIT MAKEINTRESOURCEW(32514)
#define IDC_CROSS MAKEINTRESOURCEW(32515)
#define IDC_HAND MAKEINTRESOURCEW(32649)
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXFRAME 32
#define SM_CYFRAME 33
#define SM_CYCAPTION 4
#define SM_CMONITORS 80
// Screen size of the first display; frame metrics from the last frame seen; 0 otherwise.
int GetSystemMetrics(int index);

// ---- Messages -------------------------------------------------------------------------------
#define WM_NULL 0x0000u
#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_MOVE 0x0003u
#define WM_SIZE 0x0005u
#define WM_ACTIVATE 0x0006u
#define WM_SETFOCUS 0x0007u
#define WM_KILLFOCUS 0x0008u
#define WM_PAINT 0x000Fu
#define WM_CLOSE 0x0010u
#define WM_QUIT 0x0012u
#define WM_ERASEBKGND 0x0014u
#define WM_SHOWWINDOW 0x0018u
#define WM_ACTIVATEAPP 0x001Cu
#define WM_SETCURSOR 0x0020u
#define WM_GETMINMAXINFO 0x0024u
#define WM_NCDESTROY 0x0082u
#define WM_NCHITTEST 0x0084u
#define WM_KEYDOWN 0x0100u
#define WM_KEYUP 0x0101u
#define WM_CHAR 0x0102u
#define WM_SYSKEYDOWN 0x0104u
#define WM_SYSKEYUP 0x0105u
#define WM_SYSCHAR 0x0106u
#define WM_COMMAND 0x0111u
#define WM_SYSCOMMAND 0x0112u
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u
#define WM_RBUTTONDOWN 0x0204u
#define WM_RBUTTONUP 0x0205u
#define WM_MBUTTONDOWN 0x0207u
#define WM_MBUTTONUP 0x0208u
#define WM_MOUSEWHEEL 0x020Au
#define WM_ENTERMENULOOP 0x0211u
#define WM_EXITMENULOOP 0x0212u
#define WM_POWERBROADCAST 0x0218u
#define WM_ENTERSIZEMOVE 0x0231u
#define WM_EXITSIZEMOVE 0x0232u
#define WM_DROPFILES 0x0233u
#define WM_USER 0x0400u
#define WM_APP 0x8000u

#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2
#define HTCLIENT 1
#define SC_SIZE 0xF000u
#define SC_MOVE 0xF010u
#define SC_MINIMIZE 0xF020u
#define SC_MAXIMIZE 0xF030u
#define SC_CLOSE 0xF060u
#define SC_KEYMENU 0xF100u
#define SC_RESTORE 0xF120u
#define SC_MONITORPOWER 0xF170u
#define PBT_APMQUERYSUSPEND 0x0000u
#define PBT_APMRESUMESUSPEND 0x0007u
#define MK_LBUTTON 0x0001u
#define MK_RBUTTON 0x0002u
#define MK_SHIFT 0x0004u
#define MK_CONTROL 0x0008u
#define MK_MBUTTON 0x0010u
#define MK_ALT 0x0020u
#define WHEEL_DELTA 120
#define MAKEWPARAM(l, h) (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define GET_X_LPARAM(lp) (static_cast<int>(static_cast<short>(LOWORD(lp))))
#define GET_Y_LPARAM(lp) (static_cast<int>(static_cast<short>(HIWORD(lp))))
#define GET_WHEEL_DELTA_WPARAM(wp) (static_cast<short>(HIWORD(wp)))

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
  DWORD lPrivate;  // modifier keys (MK_SHIFT, MK_CONTROL, MK_ALT) when an input message was made
};
using LPMSG = MSG*;

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u

// ---- Dropped files --------------------------------------------------------------------------
// A window that accepts files gets WM_DROPFILES (wParam: an HDROP) once for every drop of one or
// more files on it (SDL's drop events, which the window system's drag and drop turns into local
// paths). The names are full paths in Windows form, converted without loss. Windows that do not
// accept files ignore drops. Window's thread.
struct HDROP__;
using HDROP = HDROP__*;
void DragAcceptFiles(HWND hwnd, BOOL accept);
// file 0xFFFFFFFF: the number of names. Otherwise the length of name number file without
// terminator when buffer is null, or the count of characters copied into buffer (cut to size - 1,
// always terminated). 0 for an unknown drop or a file number out of range.
UINT DragQueryFileW(HDROP drop, UINT file, LPWSTR buffer, UINT size);
// Frees the drop; its handle is invalid afterwards. A drop never finished lives until the end of
// the process.
void DragFinish(HDROP drop);

// The queue of the window's thread. Taking messages pumps SDL: every SDL event is shown to the
// listeners of platform/win32/SdlWindow.h, then becomes messages:
//   window close request, SDL_QUIT          -> WM_CLOSE (SDL_QUIT: to every window)
//   exposed                                -> WM_PAINT (when nothing else waits)
//   minimized / maximized / restored       -> WM_SIZE SIZE_MINIMIZED (0 x 0) / SIZE_MAXIMIZED /
//                                             SIZE_RESTORED with the client size in lParam
//   size changed while restored (the user) -> WM_ENTERSIZEMOVE, WM_SIZE SIZE_RESTORED,
//                                             WM_EXITSIZEMOVE (X11 has no move/size loop)
//   mouse motion                           -> WM_SETCURSOR, WM_MOUSEMOVE (client coordinates)
//   mouse buttons, wheel                   -> WM_xBUTTONDOWN/UP, WM_MOUSEWHEEL
//   keys                                   -> WM_KEYDOWN/WM_KEYUP with VK_ codes, or
//                                             WM_SYSKEYDOWN/WM_SYSKEYUP while Alt is held, F10
//   files dropped (begin, names, complete) -> WM_DROPFILES, to a window that accepts files
// Order: queued messages first, then WM_QUIT once the queue is empty, then WM_PAINT.
// hwnd and the min/max range filter as on Windows (0, 0 takes every message).
BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// Waits (SDL_WaitEvent) until a message is there. Returns 0 for WM_QUIT, else nonzero.
BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
// Queues WM_CHAR (WM_SYSCHAR with Alt) for a key down that types an ASCII character. Returns
// nonzero for WM_KEYDOWN/WM_SYSKEYDOWN.
BOOL TranslateMessage(const MSG* msg);
// Calls the procedure of msg->hwnd; 0 for messages to no window or a destroyed one.
LRESULT DispatchMessageW(const MSG* msg);
// Calls the window's procedure now, on the calling thread; 0 for a bad window.
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Queues a message (any thread; wakes a waiting GetMessageW). A null hwnd posts a thread message.
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// WM_QUIT with exitCode comes out of the queue once the messages before it are handled.
void PostQuitMessage(int exitCode);
// WM_CLOSE destroys the window; Alt+F4 becomes SC_CLOSE, SC_CLOSE becomes WM_CLOSE;
// WM_SETCURSOR in the client area sets the class cursor; WM_NCHITTEST gives HTCLIENT; others 0.
LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Keyboard and accelerators ----------------------------------------------------------------
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_MBUTTON 0x04
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F2 0x71
#define VK_F3 0x72
#define VK_F4 0x73
#define VK_F5 0x74
#define VK_F6 0x75
#define VK_F7 0x76
#define VK_F8 0x77
#define VK_F9 0x78
#define VK_F10 0x79
#define VK_F11 0x7A
#define VK_F12 0x7B
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE

// Key state from SDL's keyboard and mouse state: high bit set while down.
SHORT GetKeyState(int virtKey);
SHORT GetAsyncKeyState(int virtKey);

#define FVIRTKEY 0x01
#define FNOINVERT 0x02
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10

struct ACCEL {
  BYTE fVirt;
  WORD key;
  WORD cmd;
};
using LPACCEL = ACCEL*;

// Linux programs have no resource section: the program registers its accelerator tables under
// their resource ids at start-up, and LoadAcceleratorsW(instance, MAKEINTRESOURCEW(id)) then makes
// a table from them (null and ERROR_RESOURCE_NAME_NOT_FOUND for an id never registered).
// Registering an id again replaces its entries.
void Win32RegisterAcceleratorResource(WORD id, const ACCEL* entries, int count);
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR tableName);
HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// A WM_KEYDOWN/WM_SYSKEYDOWN (FVIRTKEY entries, by VK_ code) or WM_CHAR/WM_SYSCHAR (other entries,
// by character) that matches an entry with exactly its Alt, Ctrl and Shift state sends WM_COMMAND
// (LOWORD(wParam) = the entry's command, HIWORD 1) to hwnd and returns nonzero; else 0.
int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg);

// ---- Cursor ---------------------------------------------------------------------------------
// Screen coordinates (global mouse state).
BOOL GetCursorPos(LPPOINT point);
// A point over a shown window of the program lands on the client point ClientToScreen gave it,
// even before the window manager's placement of a new window has been reported.
BOOL SetCursorPos(int x, int y);
// A rectangle (screen coordinates) confines the pointer to it within the window it overlaps and
// grabs that window; null releases every confinement.
BOOL ClipCursor(const RECT* rect);
BOOL GetClipCursor(LPRECT rect);
// A null cursor hides the pointer; a cursor from LoadCursorW shows that shape. Returns the previous.
HCURSOR SetCursor(HCURSOR cursor);
// Display counter as on Windows: the pointer shows while the count is >= 0. Returns the new count.
int ShowCursor(BOOL show);

// ---- Message boxes --------------------------------------------------------------------------
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR 0x00000010u
#define MB_ICONSTOP 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION 0x00000040u
#define MB_DEFBUTTON2 0x00000100u
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_TOPMOST 0x00040000u
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Modal box with the buttons and icon of type; a null caption reads "Error". Once SDL video runs
// on a real display, the desktop's box (zenity, a separate process) while the windows stay alive
// as for GetOpenFileNameW; before that, or where zenity cannot run, SDL's box, which blocks. Returns the ID of the
// button pressed (when the box is closed otherwise: IDOK for a box with only OK, else IDCANCEL or IDNO when the box has
// one, else IDCANCEL; also when the program is asked to close while the box is up). When no box can be shown (no
// display) the caption and text go to stderr and the result is 0. Any thread.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
// The desktop box's argument vector for a box (without running it), and the button ID that its
// output (the label of the button pressed, or nothing) stands for.
std::vector<std::string> Win32MessageBoxArguments(const std::string& title, const std::string& text, UINT type);
int Win32MessageBoxResult(UINT type, const std::string& output);

// The one redirection point for message boxes: while a hook is set, MessageBoxW calls it (with the
// text and caption as given, a null caption as empty) instead of showing a box and returns its
// result. Returns the previous hook; an empty hook restores the real boxes.
using MessageBoxHook = std::function<int(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type)>;
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// ---- Time -----------------------------------------------------------------------------------
#define TIMERR_NOERROR 0u
#define TIMERR_NOCANDO 97u
#define INFINITE 0xFFFFFFFFu

// Linux timers and sleeps already have millisecond (or finer) resolution: the periods are only
// counted, so that each timeEndPeriod matches a timeBeginPeriod (TIMERR_NOCANDO otherwise, and
// for a period of 0).
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);
// Milliseconds of the monotonic clock from an arbitrary start; wraps around as a DWORD.
DWORD timeGetTime();
// Sleeps at least ms milliseconds (0 yields; INFINITE never returns).
void Sleep(DWORD ms);
// The steady clock in nanoseconds; the frequency is 1e9. Never fail.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
// number * numerator / denominator with 64-bit intermediate, rounded half away from zero; -1 when
// denominator is 0 or the result does not fit an int.
int MulDiv(int number, int numerator, int denominator);

// ---- GDI --------------------------------------------------------------------------------------
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define COLOR_WINDOW 5
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12

#include "platform/win32/DrawTextFlags.h"

using COLORREF = DWORD;
#define RGB(r, g, b)                                                                             \
  (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                         (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define TRANSPARENT 1
#define OPAQUE 2

// Stock brushes for the window class background (also (HBRUSH)(COLOR_WINDOW + 1), white).
HGDIOBJ GetStockObject(int object);

// A device context on the window's client area (drawn through SDL's software window surface, the
// first time erased with the class background brush), or on the screen for GetDC(NULL), which
// only answers GetDeviceCaps. ReleaseDC shows what was drawn. Window's thread.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
// LOGPIXELSX/Y 96; HORZRES/VERTRES the first display's size; BITSPIXEL 32.
int GetDeviceCaps(HDC dc, int index);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);
// Draws text (count -1: up to the terminator) in the DC's font, the system's default sans-serif
// face at 16 pixels (platform/fontlookup, FreeType), text colour (black) on the background colour (white,
// OPAQUE) inside rect. Lines break at "\n" unless DT_SINGLELINE; DT_CENTER/DT_RIGHT align
// horizontally, DT_VCENTER/DT_BOTTOM vertically (single lines). DT_CALCRECT only measures (sets
// rect's right and bottom). Returns the text height, 0 on failure.
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);

// ---- Strings --------------------------------------------------------------------------------
// Formats like Windows' wsprintfW: %s/%ls wide strings, %hs/%S narrow (UTF-8) strings, %c/%lc wide
// characters, %hc/%C narrow ones, %d %i %u %x %X %o %p, %e %f %g with their upper-case forms,
// flags "-+ 0#", width and precision (numbers or *), length h, l, ll, I64; a null string prints
// "(null)". Writes at most 1024 code units including the terminator (as Windows does) and returns
// the length written without the terminator.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args);
// The same with the buffer size in code units; the text is cut to fit and always terminated.
// Returns the length written, or -1 when it was cut.
int wnsprintfW(LPWSTR buffer, int size, LPCWSTR format, ...);
int wvnsprintfW(LPWSTR buffer, int size, LPCWSTR format, va_list args);

int lstrlenW(LPCWSTR s);
LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src);
// Copies at most max - 1 code units and terminates.
LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int max);
LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src);
int lstrcmpW(LPCWSTR a, LPCWSTR b);
int lstrcmpiW(LPCWSTR a, LPCWSTR b);
// The order in which the desktop's file manager lists names (StrCmpLogicalW of the shell):
// case folded as CompareStringW with NORM_IGNORECASE, and runs of ASCII digits compared as
// numbers, of any length ("clip2" before "clip10", "clip007" equal to "clip7"). -1, 0 or 1; a
// null string comes before any other. Names that differ only in case, or in leading zeros,
// compare equal: a caller that needs a total order breaks the tie itself.
int StrCmpLogicalW(LPCWSTR a, LPCWSTR b);

#define LOCALE_USER_DEFAULT 0x0400u
#define LOCALE_SYSTEM_DEFAULT 0x0800u
#define LOCALE_INVARIANT 0x007Fu
#define NORM_IGNORECASE 0x00000001u
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3
// Compares by code unit after folding case (with NORM_IGNORECASE) for ASCII, Latin-1, Latin
// Extended-A, Greek, Cyrillic and the full-width Latin letters; a count of -1 means up to the
// terminator. Any locale gives the same order. 0 with ERROR_INVALID_PARAMETER for a null string.
int CompareStringW(LCID locale, DWORD flags, LPCWSTR a, int countA, LPCWSTR b, int countB);

#define CP_ACP 0u
#define CP_OEMCP 1u
#define CP_THREAD_ACP 3u
#define CP_UTF8 65001u
#define WC_ERR_INVALID_CHARS 0x00000080u
#define MB_ERR_INVALID_CHARS 0x00000008u
// The system code page of Linux is UTF-8: CP_ACP, CP_OEMCP and CP_UTF8 all convert to and from
// UTF-8. A count of -1 includes the terminator. A size of 0 returns the size needed. Lone
// surrogates and invalid bytes become U+FFFD, or fail with ERROR_NO_UNICODE_TRANSLATION under
// the *_ERR_INVALID_CHARS flag. 0 with ERROR_INSUFFICIENT_BUFFER when the output does not fit.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multi, int multiSize,
                        LPCSTR defaultChar, BOOL* usedDefaultChar);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multi, int multiCount, LPWSTR wide, int wideSize);

#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256
// Splits path into drive (always empty: paths have no drive letters here), directory (up to and
// including the last "\" or "/"), name, and extension (from the last "." of the part after the
// directory). Any output may be null. _wsplitpath_s returns EINVAL for a null path or an output
// pointer with size 0 and ERANGE when a part does not fit its buffer; on failure every output is
// empty. _wsplitpath is _wsplitpath_s with the _MAX_ sizes, so it never writes past them.
errno_t _wsplitpath_s(const WCHAR* path, WCHAR* drive, std::size_t driveSize, WCHAR* dir, std::size_t dirSize,
                      WCHAR* fname, std::size_t fnameSize, WCHAR* ext, std::size_t extSize);
void _wsplitpath(const WCHAR* path, WCHAR* drive, WCHAR* dir, WCHAR* fname, WCHAR* ext);

// ---- Files and folders ----------------------------------------------------------------------
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u

struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

// Opens a file (not a folder: ERROR_ACCESS_DENIED) with the access and disposition given; sharing
// and attribute flags are accepted and have no effect. INVALID_HANDLE_VALUE on failure with
// ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_FILE_EXISTS or
// ERROR_INVALID_NAME (a path that names no native file). Any thread; one thread per handle.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES* security, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// Reads up to count bytes; *read = 0 at the end of the file (TRUE). Overlapped reads: not supported.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, DWORD* read, OVERLAPPED* overlapped);
// Low 32 bits of the size, the high ones in *high; INVALID_FILE_SIZE on failure.
DWORD GetFileSize(HANDLE file, DWORD* high);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
// Closes file handles (CloseHandle on a search handle fails: use FindClose).
BOOL CloseHandle(HANDLE handle);
// FILE_ATTRIBUTE_DIRECTORY for folders; READONLY when not writable, HIDDEN for names starting with
// "."; NORMAL when none applies. INVALID_FILE_ATTRIBUTES on failure.
DWORD GetFileAttributesW(LPCWSTR path);

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

// One-level search of a folder for names matching the last part of pattern, with Windows wildcard
// rules compared without regard to case: "*" any run, "?" one character, a final ".*" also matches
// names without a dot (so "*.*" matches every name), a final "." only names without a dot.
// Entries come in the order the file system gives them, "." and ".." included; names longer than
// 259 code units cannot be reported whole and are skipped. Fails with ERROR_FILE_NOT_FOUND when
// nothing matches, ERROR_PATH_NOT_FOUND for a missing folder, then FindNextFileW with
// ERROR_NO_MORE_FILES. Any thread; one thread per search.
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW data);
BOOL FindClose(HANDLE search);

// The process's current folder in Windows form. Returns its length without terminator, or, when
// the buffer is too small, the size needed including the terminator; 0 on failure.
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
BOOL SetCurrentDirectoryW(LPCWSTR path);

// fopen with a Windows-form path and a wide mode.
FILE* _wfopen(const WCHAR* path, const WCHAR* mode);

// ---- Fonts ----------------------------------------------------------------------------------
// Registers a TrueType/OpenType file with fontconfig for this process, so that its families can be
// found by name. Returns the number of faces added, 0 on failure. RemoveFontResourceW drops a
// registered file again (nonzero on success).
int AddFontResourceW(LPCWSTR path);
BOOL RemoveFontResourceW(LPCWSTR path);

// ---- Open-file dialog -----------------------------------------------------------------------
#define OFN_READONLY 0x00000001u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_NOCHANGEDIR 0x00000008u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u
#define CDERR_INITIALIZATION 0x0002u
#define FNERR_BUFFERTOOSMALL 0x3003u

struct OPENFILENAMEW {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCWSTR lpstrFilter;
  LPWSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPWSTR lpstrFile;
  DWORD nMaxFile;
  LPWSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCWSTR lpstrInitialDir;
  LPCWSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCWSTR lpstrDefExt;
  LPARAM lCustData;
  LPVOID lpfnHook;
  LPCWSTR lpTemplateName;
};
using LPOPENFILENAMEW = OPENFILENAMEW*;

// Runs the desktop's file chooser (zenity, as a separate process given an argument vector, in a
// UTF-8 locale) with the description/pattern filters (the selected one first) and the current
// file of lpstrFile as the start, titled lpstrTitle or, when null, "Open". On a pick: the full
// path in Windows form in lpstrFile, nFileOffset/nFileExtension set, TRUE. Cancel, or with
// OFN_FILEMUSTEXIST a name that is not an existing file: FALSE with CommDlgExtendedError 0; a path longer
// than nMaxFile: FALSE with FNERR_BUFFERTOOSMALL; no chooser: FALSE with CDERR_INITIALIZATION.
// The calling thread (the window's) waits until the chooser closes, keeping the program's
// windows alive meanwhile: their events are pumped, their last picture is shown again when they
// need painting, their input is dropped. A close request (SIGTERM, a window's close button) ends
// the chooser at once and gives FALSE; the close stays queued for the program's own loop.
BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn);
DWORD CommDlgExtendedError();
// The chooser's argument vector for ofn (without running it).
std::vector<std::string> Win32OpenDialogArguments(const OPENFILENAMEW& ofn);
