// The edge guard of the stand-in layers. The Windows calls they stand in for promise no
// exceptions, so a call that allocates runs its body through Guarded: std::bad_alloc becomes
// E_OUTOFMEMORY and any other exception E_FAIL, instead of crossing the API.
#pragma once

#include <new>

#include "platform/kit/wintypes.h"

namespace kit {

template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// For a call that answers with a value instead of an HRESULT (a drawn text's height, a
// handle): failed is what the call returns on any exception.
template <class Result, class Body>
Result Guarded(Result failed, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failed;
  }
}

}  // namespace kit
