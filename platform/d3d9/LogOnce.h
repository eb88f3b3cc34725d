// Reports an unsupported state, value or feature of the layer once per distinct message,
// on stderr, prefixed with the calling function's name. Thread-safe.
// The one internal of this layer that the D3DX layer (platform/d3dx9) uses, so that a D3DX
// call's reports read like the device's own.
#pragma once

#include <string>

namespace d3d9 {

void LogOnce(const char* function, const std::string& message);

}  // namespace d3d9
