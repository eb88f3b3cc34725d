// The layer's name on the stand-ins' one log (platform/kit/LogOnce.h), for the D3DX files that
// still call it by this name.
#pragma once

#include <string>

#include "platform/kit/LogOnce.h"

namespace d3d9 {

inline void LogOnce(const char* function, const std::string& message) {
  kit::LogOnce("d3d9", function, message);
}

}  // namespace d3d9
