#include "platform/com/com.h"
#include "platform/dshow/dshow.h"

#include "platform/dmusic/dmusic.h"
#include "platform/kit/Guarded.h"
#include "platform/kit/LogOnce.h"

namespace {

using Factory = HRESULT (*)(REFIID riid, void** ppv);

struct ClassEntry {
  const CLSID* clsid;
  Factory create;
};

// Each stand-in layer that offers creatable objects adds its classes here.
constexpr ClassEntry kClasses[] = {
    {&CLSID_DirectMusicPerformance, DirectMusicCreatePerformance},
    {&CLSID_DirectMusicLoader, DirectMusicCreateLoader},
    {&CLSID_FilterGraph, &CreateFilterGraph},
};

}  // namespace

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD, REFIID riid, LPVOID* ppv) {
  return kit::Guarded([&]() -> HRESULT {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter) {
      kit::LogOnce("com", "CoCreateInstance", "aggregation is not supported");
      return CLASS_E_NOAGGREGATION;
    }
    for (const ClassEntry& entry : kClasses) {
      if (entry.clsid && *entry.clsid == rclsid) return entry.create(riid, ppv);
    }
    kit::LogOnce("com", "CoCreateInstance", "a class no stand-in offers");
    return REGDB_E_CLASSNOTREG;
  });
}
