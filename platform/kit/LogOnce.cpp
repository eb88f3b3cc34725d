#include "platform/kit/LogOnce.h"

#include <cstdio>
#include <exception>
#include <mutex>
#include <set>

namespace kit {

void LogOnce(const char* layer, const char* function, const std::string& message) noexcept {
  static std::mutex mutex;
  static std::set<std::string> seen;
  // A log line must never fail the call that writes it: without memory it is written anyway.
  try {
    const std::string line = std::string(layer) + ": " + function + ": " + message;
    std::lock_guard lock(mutex);
    if (seen.insert(line).second) std::fprintf(stderr, "%s\n", line.c_str());
  } catch (const std::exception&) {
    std::fprintf(stderr, "%s: %s: %s\n", layer, function, message.c_str());
  }
}

}  // namespace kit
