// GDI on the window's software surface: device contexts, stock brushes and text drawing.
#include "platform/win32/Win32State.h"

namespace {

// Stock objects are fixed handles; brushes for system colours are (HBRUSH)(COLOR_x + 1).
constexpr std::uintptr_t kStockBase = 0x1000;

}  // namespace

HGDIOBJ GetStockObject(int object) {
  if (object < WHITE_BRUSH || object > NULL_BRUSH) return nullptr;
  return reinterpret_cast<HGDIOBJ>(kStockBase + static_cast<std::uintptr_t>(object));
}
