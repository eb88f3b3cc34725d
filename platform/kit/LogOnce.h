// The one log of the stand-in layers for a request they do not support or a failure they
// otherwise absorb: each distinct message is written once, on stderr, as
// "<layer>: <function>: <message>". Thread-safe; any thread.
#pragma once

#include <string>

namespace kit {

void LogOnce(const char* layer, const char* function, const std::string& message) noexcept;

}  // namespace kit
