// The processes this test program started that are still there (running, or ended and not yet
// reaped): what a test reads to see that nothing it made is left behind. Header-only.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::vector<int> ChildProcesses() {
  std::vector<int> found;
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  while (dirent* entry = readdir(proc)) {
    const int pid = std::atoi(entry->d_name);
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (name) state ppid ...: the name may hold spaces, so read after its closing parenthesis.
    std::istringstream rest(line.substr(line.rfind(')') + 1));
    std::string state;
    int ppid = 0;
    rest >> state >> ppid;
    if (ppid == getpid()) found.push_back(pid);
  }
  closedir(proc);
  return found;
}
