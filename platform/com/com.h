// COM object creation for the stand-in layers: only the class ids the program creates.
// CoCreateInstance runs on the window's thread; it returns REGDB_E_CLASSNOTREG for any other
// class id and E_NOINTERFACE when the object lacks the interface asked for.
#pragma once

#include "platform/kit/wintypes.h"

#define CLSCTX_INPROC_SERVER 0x1u
#define CLSCTX_INPROC_HANDLER 0x2u
#define CLSCTX_INPROC 0x3u
#define CLSCTX_ALL 0x17u

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
