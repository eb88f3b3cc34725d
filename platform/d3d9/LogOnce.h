// Reports an unsupported state, value or feature of the layer once per distinct message,
// on stderr, prefixed with the calling function's name. Thread-safe.
#pragma once

#include <string>

namespace d3d9 {

void LogOnce(const char* function, const std::string& message);

}  // namespace d3d9
