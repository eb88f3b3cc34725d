// Dialogs that run as child processes (the file chooser, message boxes) and the wait for them.
// While the window's thread waits, the program's windows stay alive: their events are pumped
// (so the window manager's pings are answered), a window that needs painting shows its last
// picture again through its repaint handler (SdlWindow.h), and input to them is dropped, as
// Windows disables the owner of a modal box. A close request (SIGTERM, which SDL turns into a
// quit, or a window's close button) ends the dialog at once; the close messages stay queued,
// so the program shuts down normally when the wait returns. Internal to platform/win32.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Win32DialogResult {
  int spawnError = 0;  // errno when the dialog could not be started; the rest is then unset
  bool ended = false;  // the program is closing: the dialog was ended before it finished
  int exitCode = -1;   // the dialog's exit code when it finished by itself (-1: killed by a signal)
  std::string output;  // what it wrote to its standard output
};

// The environment for a dialog program: ours with a UTF-8 locale (GTK shows non-ASCII names as
// "???" outside one).
std::vector<std::string> Win32DialogEnvironment();

// Runs argv[0] (searched on PATH) with the arguments and environment given, its standard output
// to a pipe, and waits for it as described above. Pumps window events only on the window's
// thread; any other thread simply waits.
Win32DialogResult Win32RunDialog(const std::vector<std::string>& argv, const std::vector<std::string>& env);

// The outcome of a wait on something other than a dialog (a worker process, a pipeline).
enum class Win32WaitResult { Ready, TimedOut, Closing };

// Waits until ready(waitMs) reports true, or until timeoutMs have passed, keeping the program's
// windows alive while the window's thread is busy (opening a file). ready(waitMs) may block up
// to waitMs for its answer. On the window's thread the window events are handled between calls
// (a window that needs painting shows its last picture again) and a close request ends the wait
// with Closing (the close messages stay queued). Unlike a dialog's wait, input is not dropped:
// keys and clicks stay queued and reach the program once the wait is over. Any other thread
// simply waits.
Win32WaitResult Win32WaitWhileBusy(const std::function<bool(int waitMs)>& ready, unsigned timeoutMs);
