#include "support/XSession.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

extern char** environ;

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

std::vector<std::string> EnvironmentWith(const std::string& display) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "DISPLAY=", 8) == 0 || std::strncmp(*e, "XAUTHORITY=", 11) == 0) continue;
    env.emplace_back(*e);
  }
  env.push_back("DISPLAY=" + display);
  return env;
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r')) s.pop_back();
  return s;
}

}  // namespace

XSession::XSession(bool windowManager, const std::string& screen) {
  int fds[2];
  if (pipe(fds) != 0) return;
  std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                   "-nolisten", "tcp"};
  auto args = Pointers(argv);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int rc = posix_spawnp(&m_xvfb, "Xvfb", &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    m_xvfb = -1;
    return;
  }
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) return;
  m_display = ":" + number;

  // Clients start only once the server answers: on a busy machine a client started earlier can
  // fail to open the display and give up (openbox does, and then nothing is ever fullscreen).
  if (!Poll([this] {
        int status = -1;
        Run({"xprop", "-root", "-len", "0", "_NET_SUPPORTING_WM_CHECK"}, &status);
        return status == 0;
      }))
    return;
  if (windowManager && !StartWindowManager()) return;
  // A 640 x 480 mode for fullscreen switches (Xvfb starts with its screen size only). Added after
  // the window manager has started: Xvfb rebuilds its mode list whenever a client asks for a full
  // RandR poll, as window managers do at start-up.
  Run({ORBELLE_ADD_VIDEO_MODE, "640", "480"});
  m_ok = true;
}

bool XSession::Poll(const std::function<bool()>& condition) {
  // Generous: the machine may be busy with other work; a healthy start takes well under a second.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

bool XSession::Exited(pid_t pid) {
  const pid_t r = waitpid(pid, nullptr, WNOHANG);
  return r == pid || (r < 0 && errno == ECHILD);
}

bool XSession::StartWindowManager() {
  // openbox exits when it cannot take the screen in time; it is started again, a few times.
  for (int attempt = 0; attempt < 3; ++attempt) {
    m_wm = Spawn({"openbox", "--sm-disable"});
    if (m_wm <= 0) return false;
    const bool claimed = Poll([this] {
      if (Exited(m_wm)) return true;  // stop waiting; told apart below
      int status = 0;
      const std::string out = Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, &status);
      return status == 0 && out.find("window id") != std::string::npos;
    });
    if (claimed && !Exited(m_wm)) return true;
    if (!Exited(m_wm)) Kill(m_wm);
    m_wm = -1;
  }
  return false;
}

XSession::~XSession() {
  if (m_wm > 0) {
    Kill(m_wm);
  }
  if (m_xvfb > 0) {
    Kill(m_xvfb);
  }
}

pid_t XSession::Spawn(const std::vector<std::string>& argv, const std::string& cwd) const {
  std::vector<std::string> a = argv;
  auto args = Pointers(a);
  auto env = EnvironmentWith(m_display);
  auto envp = Pointers(env);
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0 && !std::getenv("ORBELLE_TEST_VERBOSE")) dup2(null, 2);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  return pid;
}

std::string XSession::Run(const std::vector<std::string>& argv, int* status) const {
  int fds[2];
  if (pipe(fds) != 0) return {};
  std::vector<std::string> a = argv;
  auto args = Pointers(a);
  auto env = EnvironmentWith(m_display);
  auto envp = Pointers(env);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 2);
    close(fds[0]);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  close(fds[1]);
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return Trim(out);
}

int XSession::WaitExit(pid_t pid, int timeoutMs) {
  // Polls at least once, so a zero time-out still reaps a process that has already ended.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int st = 0;
    pid_t r = waitpid(pid, &st, WNOHANG);
    if (r == pid) return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    if (r < 0 || std::chrono::steady_clock::now() >= end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void XSession::Kill(pid_t pid) {
  // Only a child still running is signalled: a reaped pid may belong to another process by now.
  if (waitpid(pid, nullptr, WNOHANG) != 0) return;
  kill(pid, SIGTERM);
  if (WaitExit(pid, 2000) < 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

std::string XSession::FindWindow(const std::string& name, int timeoutMs) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    std::string out = Run({"xdotool", "search", "--onlyvisible", "--name", name});
    if (!out.empty()) return out.substr(0, out.find('\n'));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < end);
  return {};
}

bool XSession::WindowSize(const std::string& window, int* width, int* height) const {
  std::string out = Run({"xdotool", "getwindowgeometry", "--shell", window});
  auto value = [&](const char* key) {
    auto pos = out.find(key);
    return pos == std::string::npos ? -1 : std::atoi(out.c_str() + pos + std::strlen(key));
  };
  *width = value("WIDTH=");
  *height = value("HEIGHT=");
  return *width > 0 && *height > 0;
}

bool XSession::Screenshot(const std::string& window, const std::string& path) const {
  int status = -1;
  Run({"import", "-window", window, path}, &status);
  return status == 0;
}

int XSession::CursorPixels() const {
  int status = -1;
  const std::string out = Run({ORBELLE_CURSOR_IMAGE}, &status);
  unsigned width = 0, height = 0;
  int opaque = -1;
  if (status != 0 || std::sscanf(out.c_str(), "%u %u %d", &width, &height, &opaque) != 3) return -1;
  return opaque;
}

bool XSession::GreyStats(const std::string& path, double* minimum, double* mean) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    execlp("convert", "convert", path.c_str(), "-colorspace", "Gray", "-format", "%[fx:minima] %[fx:mean]",
           "info:", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  char buffer[256] = {};
  ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return n > 0 && std::sscanf(buffer, "%lf %lf", minimum, mean) == 2;
}

::testing::AssertionResult XSession::StartPlayer(const std::vector<std::string>& argv, const std::string& cwd,
                                                 pid_t* pid, std::string* window) const {
  *pid = Spawn(argv, cwd);
  if (*pid <= 0) return ::testing::AssertionFailure() << "cannot start " << argv.front();
  *window = FindWindow("Orbelle-Player$", 15000);
  if (window->empty()) return ::testing::AssertionFailure() << "no player window";
  return ::testing::AssertionSuccess();
}
