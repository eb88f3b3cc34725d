#include "platform/d3d9/LogOnce.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace d3d9 {

void LogOnce(const char* function, const std::string& message) {
  static std::mutex mutex;
  static std::set<std::string> seen;
  std::string line = std::string(function) + ": " + message;
  std::lock_guard lock(mutex);
  if (seen.insert(line).second) std::fprintf(stderr, "d3d9: %s\n", line.c_str());
}

}  // namespace d3d9
