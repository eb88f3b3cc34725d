#include "platform/dshow/GstSupport.h"

#include <mutex>

#include "platform/win32/Paths.h"

namespace dshow {

bool EnsureGstreamer() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    GError* error = nullptr;
    ok = gst_init_check(nullptr, nullptr, &error);
    if (error) g_error_free(error);
  });
  return ok;
}

GstElement* MakeElement(const char* factory) {
  return gst_element_factory_make(factory, nullptr);
}

std::string NativeFilePath(LPCWSTR path) {
  if (!path || !*path) return {};
  return Win32ToNativePath(path);
}

}  // namespace dshow
