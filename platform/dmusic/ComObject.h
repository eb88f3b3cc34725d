// Reference counting shared by the objects of this layer. An object starts with one reference
// (the creator's) and deletes itself when the last one is released.
#pragma once

#include <atomic>

#include "platform/dmusic/dmusic.h"

template <class Interface>
class RefCounted : public Interface {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ~RefCounted() override = default;

 private:
  std::atomic<ULONG> refs_{1};
};

// Hands out obj for iid when it is one of the interfaces listed, with a reference for the caller.
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
