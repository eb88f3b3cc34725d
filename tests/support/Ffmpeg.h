// Runs ffmpeg (no shell) to make a test's media: the tests that need clips of a codec or a shape
// no committed fixture has. Header-only.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

// Runs ffmpeg with the arguments; true when it succeeds.
inline bool Ffmpeg(std::vector<std::string> args) {
  args.insert(args.begin(), {"ffmpeg", "-nostdin", "-loglevel", "error", "-y"});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    execvp("ffmpeg", argv.data());
    _exit(127);
  }
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
