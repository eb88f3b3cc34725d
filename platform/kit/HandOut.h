// QueryInterface for an object of the stand-in layers that implements one interface.
#pragma once

#include <initializer_list>

#include "platform/kit/wintypes.h"

namespace kit {

// Hands out obj for iid when it is IUnknown or one of the interfaces listed, with a reference
// for the caller; E_NOINTERFACE (and *out null) otherwise.
template <class Object>
HRESULT HandOut(Object* obj, REFIID iid, void** out, std::initializer_list<const IID*> iids) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown) {
    bool known = false;
    for (const IID* candidate : iids) known = known || *candidate == iid;
    if (!known) return E_NOINTERFACE;
  }
  obj->AddRef();
  *out = obj;
  return S_OK;
}

}  // namespace kit
