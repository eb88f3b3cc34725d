#include "platform/win32/ModalWait.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/win32/Win32State.h"

extern char** environ;

namespace {

constexpr int kPumpIntervalMs = 15;

// Ends a dialog the program no longer waits for: asked politely, then killed.
int EndChild(pid_t pid) {
  ::kill(pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  int status = 0;
  for (;;) {
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) return status;
    if (std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(pid, SIGKILL);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace

int Win32AddRepaintHandler(HWND hwnd, std::function<void()> repaint) {
  auto& s = Win32State();
  const int id = s.nextRepaintId++;
  s.repaintHandlers.push_back({id, hwnd, std::move(repaint)});
  return id;
}

void Win32RemoveRepaintHandler(int id) {
  std::erase_if(Win32State().repaintHandlers, [id](const RepaintHandler& h) { return h.id == id; });
}

void Win32Repaint(HWND hwnd) {
  const auto& handlers = Win32State().repaintHandlers;
  for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
    if (it->hwnd == hwnd) {
      const auto repaint = it->repaint;  // the handler may remove itself
      repaint();
      return;
    }
}

std::vector<std::string> Win32DialogEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "LC_ALL=", 7) != 0) env.emplace_back(*e);
  const char* locale = std::setlocale(LC_CTYPE, nullptr);
  const char* lcAll = std::getenv("LC_ALL");
  const bool utf8 = (lcAll && (std::strstr(lcAll, "UTF-8") || std::strstr(lcAll, "utf8"))) ||
                    (locale && (std::strstr(locale, "UTF-8") || std::strstr(locale, "utf8")));
  env.push_back(utf8 && lcAll ? std::string("LC_ALL=") + lcAll : "LC_ALL=C.UTF-8");
  return env;
}

Win32DialogResult Win32RunDialog(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  Win32DialogResult result;
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    result.spawnError = errno;
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawned != 0) {
    ::close(out[0]);
    result.spawnError = spawned;
    return result;
  }

  auto& s = Win32State();
  const bool pumps = std::this_thread::get_id() == s.windowThread && SDL_WasInit(SDL_INIT_VIDEO);
  bool open = true;  // the pipe still has a writer
  int status = 0;
  for (;;) {
    if (open) {
      pollfd fd{out[0], POLLIN, 0};
      const int ready = ::poll(&fd, 1, pumps ? kPumpIntervalMs : -1);  // a signal interrupts it
      if (ready > 0) {
        char buffer[4096];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n > 0)
          result.output.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
          open = false;
      }
    }
    if (!open) {
      const pid_t r = ::waitpid(pid, &status, pumps ? WNOHANG : 0);
      if (r == pid) break;
      if (r < 0 && errno != EINTR) {
        status = -1;  // not ours to reap any more: no exit code
        break;
      }
    }
    if (!pumps) continue;
    if (Win32PumpWhileModal()) {
      status = EndChild(pid);
      result.ended = true;
      break;
    }
    // The child closed its output but has not exited yet: do not spin.
    if (!open) std::this_thread::sleep_for(std::chrono::milliseconds(kPumpIntervalMs));
  }
  ::close(out[0]);
  if (!result.ended) result.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

Win32WaitResult Win32WaitWhileBusy(const std::function<bool(int waitMs)>& ready, unsigned timeoutMs) {
  auto& s = Win32State();
  const bool pumps = std::this_thread::get_id() == s.windowThread && SDL_WasInit(SDL_INIT_VIDEO);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    const int slice = static_cast<int>(std::max<long long>(0, std::min<long long>(left, kPumpIntervalMs)));
    // The windows are pumped before each look, so that even a short wait shows a window that
    // needed painting.
    if (pumps && Win32PumpKeepingInput()) return Win32WaitResult::Closing;
    if (ready(slice)) return Win32WaitResult::Ready;
    if (left <= 0) return Win32WaitResult::TimedOut;
  }
}
