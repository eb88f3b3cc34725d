// Files dropped on a window: SDL's drop events become WM_DROPFILES with a drop handle.
#include <SDL.h>

#include <algorithm>

#include "platform/win32/Paths.h"
#include "platform/win32/Win32State.h"

namespace {

HDROP__* FindDrop(HDROP drop) {
  auto& drops = Win32State().drops;
  const auto it = std::find_if(drops.begin(), drops.end(), [drop](const auto& d) { return d.get() == drop; });
  return it == drops.end() ? nullptr : it->get();
}

}  // namespace

void DragAcceptFiles(HWND hwnd, BOOL accept) {
  HWND__* w = Win32FindWindow(hwnd);
  if (!w) return;
  w->acceptsFiles = accept != FALSE;
  // The window system offers drops to SDL's windows only while SDL reports them.
  if (accept) SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
}

void Win32TranslateDropEvent(const SDL_DropEvent& event) {
  auto& s = Win32State();
  switch (event.type) {
    case SDL_DROPBEGIN:
      s.droppingNames.clear();
      break;
    case SDL_DROPFILE:
      if (event.file) s.droppingNames.emplace_back(event.file);
      break;
    case SDL_DROPCOMPLETE: {
      HWND hwnd = Win32WindowFromSdl(SDL_GetWindowFromID(event.windowID));
      HWND__* w = Win32FindWindow(hwnd);
      if (w && !w->destroying && w->acceptsFiles && !s.droppingNames.empty()) {
        auto drop = std::make_unique<HDROP__>();
        for (const std::string& name : s.droppingNames) drop->files.push_back(Win32FromNativePath(name));
        MSG m{hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(drop.get()), 0, timeGetTime(), {0, 0}, 0};
        s.drops.push_back(std::move(drop));
        Win32QueueMessage(m);
      }
      s.droppingNames.clear();
      break;
    }
    default:
      break;
  }
  // The receiver of a drop event owns its text (file names and dropped text alike).
  SDL_free(event.file);
}

UINT DragQueryFileW(HDROP drop, UINT file, LPWSTR buffer, UINT size) {
  const HDROP__* d = FindDrop(drop);
  if (!d) return 0;
  if (file == 0xFFFFFFFFu) return static_cast<UINT>(d->files.size());
  if (file >= d->files.size()) return 0;
  const std::u16string& name = d->files[file];
  if (!buffer) return static_cast<UINT>(name.size());
  if (size == 0) return 0;
  const std::size_t copied = std::min<std::size_t>(name.size(), size - 1);
  std::copy_n(name.begin(), copied, buffer);
  buffer[copied] = 0;
  return static_cast<UINT>(copied);
}

void DragFinish(HDROP drop) {
  auto& drops = Win32State().drops;
  std::erase_if(drops, [drop](const auto& d) { return d.get() == drop; });
}
