// A private X display for tests that drive whole programs: its own Xvfb server (so nothing else
// shares its focus or screen), optionally a window manager, and helpers to run commands on it.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

class XSession {
 public:
  // Starts Xvfb with a screen of the given size (WIDTHxHEIGHTxDEPTH) and a 640x480 mode available;
  // with a window manager when asked. ok() is false unless the server answers and the window
  // manager (when asked for) has claimed the screen.
  explicit XSession(bool windowManager, const std::string& screen = "1024x768x24");
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  bool ok() const { return m_ok; }
  const std::string& display() const { return m_display; }

  // Starts a program on this display in the given folder; returns its pid.
  pid_t Spawn(const std::vector<std::string>& argv, const std::string& cwd = ".") const;
  // Starts the player program (its path, then its arguments) in cwd and waits up to 15 s for its
  // window. *pid is set as soon as it runs, so that the caller can end it whatever follows.
  ::testing::AssertionResult StartPlayer(const std::vector<std::string>& argv, const std::string& cwd, pid_t* pid,
                                         std::string* window) const;
  // Runs a command on this display to its end and returns its standard output (trimmed).
  std::string Run(const std::vector<std::string>& argv, int* status = nullptr) const;
  // Waits up to timeoutMs for the process to exit; returns its exit code, or -1 on time-out.
  static int WaitExit(pid_t pid, int timeoutMs);
  static void Kill(pid_t pid);

  // The id of the first visible window whose name matches, waiting up to timeoutMs; "" if none.
  std::string FindWindow(const std::string& name, int timeoutMs) const;
  // Geometry of a window: width and height of the window itself (the client area).
  bool WindowSize(const std::string& window, int* width, int* height) const;
  // Screenshot of a window into a PNG file.
  bool Screenshot(const std::string& window, const std::string& path) const;
  // The number of visible pixels in the pointer's image as the server shows it now (0 when the
  // pointer is hidden), or -1 when it cannot be read.
  int CursorPixels() const;
  // Smallest and mean grey level (0..1) of a PNG.
  static bool GreyStats(const std::string& path, double* minimum, double* mean);

 private:
  // Polls until the condition holds (true) or a generous bound passes (false).
  static bool Poll(const std::function<bool()>& condition);
  // True once the child has ended (reaped here or before).
  static bool Exited(pid_t pid);
  // Starts openbox until it has claimed the screen; false when it never does.
  bool StartWindowManager();

  bool m_ok = false;
  std::string m_display;
  pid_t m_xvfb = -1;
  pid_t m_wm = -1;
};
