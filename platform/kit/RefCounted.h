// Counted references for the objects of the stand-in layers.
//
// An object starts with one reference (its creator's). AddRef returns the count after the
// increment, Release the count after the decrement; the count is atomic, so references may be
// taken and dropped on any thread (textures and samples cross to the streaming threads).
#pragma once

#include <atomic>

#include "platform/kit/wintypes.h"

namespace kit {

// The bare count, for objects whose last release does something other than delete them (a
// device child handed back to its device, a sample that lives on the caller's stack).
class RefCount {
 public:
  ULONG Add() { return ++count_; }
  // The count left; 0 means the last reference has gone.
  ULONG Drop() { return --count_; }

 private:
  std::atomic<ULONG> count_{1};
};

// IUnknown's AddRef and Release for an object that deletes itself on the last Release. One
// count serves every interface listed. A class that must do something before each release
// overrides Release and calls this one.
template <class... Interfaces>
class RefCounted : public Interfaces... {
 public:
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override {
    const ULONG left = refs_.Drop();
    if (left == 0) delete this;
    return left;
  }

 protected:
  RefCounted() = default;
  ~RefCounted() override = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

 private:
  RefCount refs_;
};

}  // namespace kit
