// Accelerator tables: registered in place of resources, matched against key messages.
#include <algorithm>

#include "platform/win32/Win32State.h"

namespace {

HACCEL__* FindTable(HACCEL table) {
  for (auto& t : Win32State().acceleratorTables)
    if (t.get() == table) return t.get();
  return nullptr;
}

}  // namespace

void Win32RegisterAcceleratorResource(WORD id, const ACCEL* entries, int count) {
  auto& list = Win32State().acceleratorResources[id];
  list.assign(entries, entries + std::max(0, entries ? count : 0));
}

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count) {
  if (!entries || count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto table = std::make_unique<HACCEL__>();
  table->entries.assign(entries, entries + count);
  Win32State().acceleratorTables.push_back(std::move(table));
  return Win32State().acceleratorTables.back().get();
}

HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR tableName) {
  auto& resources = Win32State().acceleratorResources;
  const auto it = IS_INTRESOURCE(tableName)
                      ? resources.find(static_cast<WORD>(reinterpret_cast<std::uintptr_t>(tableName)))
                      : resources.end();
  if (it == resources.end() || it->second.empty()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return CreateAcceleratorTableW(it->second.data(), static_cast<int>(it->second.size()));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  auto& tables = Win32State().acceleratorTables;
  const auto before = tables.size();
  std::erase_if(tables, [table](const auto& t) { return t.get() == table; });
  return tables.size() != before ? TRUE : FALSE;
}

int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg) {
  HACCEL__* t = FindTable(table);
  if (!t) {
    SetLastError(ERROR_INVALID_ACCEL_HANDLE);
    return 0;
  }
  if (!msg || !IsWindow(hwnd)) return 0;
  const bool key = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
  const bool character = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
  if (!key && !character) return 0;
  const bool alt = (msg->lPrivate & MK_ALT) || (msg->lParam & (1 << 29));
  const bool ctrl = msg->lPrivate & MK_CONTROL, shift = msg->lPrivate & MK_SHIFT;
  for (const ACCEL& e : t->entries) {
    if (((e.fVirt & FALT) != 0) != alt) continue;
    if (e.fVirt & FVIRTKEY) {
      // Virtual keys match the key with exactly the modifiers of the entry.
      if (!key || e.key != msg->wParam) continue;
      if (((e.fVirt & FCONTROL) != 0) != ctrl || ((e.fVirt & FSHIFT) != 0) != shift) continue;
    } else if (!character || e.key != msg->wParam) {
      continue;  // characters already carry Shift and Ctrl
    }
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(e.cmd, 1), 0);
    return 1;
  }
  return 0;
}
