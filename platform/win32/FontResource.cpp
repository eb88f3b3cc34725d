// AddFontResourceW / RemoveFontResourceW as fontconfig application fonts: the files become
// visible to this process's fontconfig queries (and so to the D3DX fonts) and to no other.
#include <fontconfig/fontconfig.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "platform/win32/Paths.h"
#include "platform/win32/win32.h"

namespace {

// The files registered, each with the number of times it was added (Windows counts them too:
// a file stays registered until removed as often as it was added).
struct FontRegistry {
  std::mutex mutex;
  std::map<std::string, int> files;
};

FontRegistry& Registry() {
  static FontRegistry registry;
  return registry;
}

// Absolute, so that a later change of the current folder does not lose the file.
std::string RegisteredPath(LPCWSTR path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(Win32ToNativePath(path), error);
  return error ? std::string() : absolute.lexically_normal().string();
}

unsigned FacesInFile(const std::string& file) {
  FcFontSet* set = FcFontSetCreate();
  if (!set) return 0;
  const unsigned faces = FcFreeTypeQueryAll(reinterpret_cast<const FcChar8*>(file.c_str()), static_cast<unsigned>(-1),
                                            nullptr, nullptr, set);
  FcFontSetDestroy(set);
  return faces;
}

}  // namespace

int AddFontResourceW(LPCWSTR path) {
  if (!path || !FcInit()) return 0;
  const std::string file = RegisteredPath(path);
  if (file.empty()) return 0;
  const unsigned faces = FacesInFile(file);
  if (faces == 0) return 0;
  FontRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  int& count = registry.files[file];
  if (count == 0 && !FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(file.c_str()))) {
    registry.files.erase(file);
    return 0;
  }
  ++count;
  return static_cast<int>(faces);
}

BOOL RemoveFontResourceW(LPCWSTR path) {
  if (!path) return FALSE;
  const std::string file = RegisteredPath(path);
  FontRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  const auto it = registry.files.find(file);
  if (it == registry.files.end()) return FALSE;
  if (--it->second > 0) return TRUE;
  registry.files.erase(it);
  // fontconfig can only drop all application fonts at once: drop them and add back the rest.
  FcConfigAppFontClear(nullptr);
  for (const auto& [other, count] : registry.files) {
    FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(other.c_str()));
  }
  return TRUE;
}
