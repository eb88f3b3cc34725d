// A Direct3D object whose adapters, modes, device types and format support are a script:
// the one part of the graphics platform that cannot be varied on this machine.
#pragma once

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "platform/d3d9/d3d9.h"

struct ScriptedAdapter {
  D3DDISPLAYMODE desktop{1024, 768, 60, D3DFMT_X8R8G8B8};
  std::vector<D3DDISPLAYMODE> modes;
  std::set<D3DDEVTYPE> deviceTypes{D3DDEVTYPE_HAL};
  DWORD devCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
  DWORD presentIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_TWO;
  // Back-buffer formats accepted for every adapter format; empty accepts all.
  std::set<D3DFORMAT> backBufferFormats{D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
  std::set<D3DFORMAT> depthFormats{D3DFMT_D16, D3DFMT_D24X8};
  std::set<D3DMULTISAMPLE_TYPE> multisample{D3DMULTISAMPLE_NONE};
};

class ScriptedDirect3D : public IDirect3D9 {
 public:
  std::vector<ScriptedAdapter> adapters;

  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }

  UINT GetAdapterCount() override { return static_cast<UINT>(adapters.size()); }
  HRESULT GetAdapterIdentifier(UINT a, DWORD, D3DADAPTER_IDENTIFIER9* id) override {
    *id = {};
    std::snprintf(id->Description, sizeof id->Description, "Scripted adapter %u", a);
    return S_OK;
  }
  UINT GetAdapterModeCount(UINT a, D3DFORMAT f) override { return static_cast<UINT>(ModesOf(a, f).size()); }
  HRESULT EnumAdapterModes(UINT a, D3DFORMAT f, UINT i, D3DDISPLAYMODE* m) override {
    auto modes = ModesOf(a, f);
    if (i >= modes.size()) return D3DERR_INVALIDCALL;
    *m = modes[i];
    return S_OK;
  }
  HRESULT GetAdapterDisplayMode(UINT a, D3DDISPLAYMODE* m) override {
    if (a >= adapters.size()) return D3DERR_INVALIDCALL;
    *m = adapters[a].desktop;
    return S_OK;
  }
  HRESULT CheckDeviceType(UINT a, D3DDEVTYPE t, D3DFORMAT, D3DFORMAT bb, BOOL) override {
    const ScriptedAdapter& ad = adapters[a];
    if (!ad.deviceTypes.count(t)) return D3DERR_NOTAVAILABLE;
    return ad.backBufferFormats.empty() || ad.backBufferFormats.count(bb) ? S_OK : D3DERR_NOTAVAILABLE;
  }
  HRESULT CheckDeviceFormat(UINT a, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE, D3DFORMAT f) override {
    return adapters[a].depthFormats.count(f) ? S_OK : D3DERR_NOTAVAILABLE;
  }
  HRESULT CheckDeviceMultiSampleType(UINT a, D3DDEVTYPE, D3DFORMAT, BOOL, D3DMULTISAMPLE_TYPE t, DWORD* q) override {
    if (!adapters[a].multisample.count(t)) return D3DERR_NOTAVAILABLE;
    if (q) *q = 1;
    return S_OK;
  }
  HRESULT CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT) override { return S_OK; }
  HRESULT GetDeviceCaps(UINT a, D3DDEVTYPE t, D3DCAPS9* caps) override {
    if (!adapters[a].deviceTypes.count(t)) return D3DERR_NOTAVAILABLE;
    *caps = {};
    caps->DeviceType = t;
    caps->AdapterOrdinal = a;
    caps->DevCaps = adapters[a].devCaps;
    caps->PresentationIntervals = adapters[a].presentIntervals;
    return S_OK;
  }
  HRESULT CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice9**) override {
    return D3DERR_NOTAVAILABLE;
  }

  ULONG refs = 1;

 private:
  std::vector<D3DDISPLAYMODE> ModesOf(UINT a, D3DFORMAT f) const {
    std::vector<D3DDISPLAYMODE> out;
    for (const auto& m : adapters[a].modes)
      if (m.Format == f) out.push_back(m);
    return out;
  }
};
