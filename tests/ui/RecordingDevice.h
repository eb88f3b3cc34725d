// A probe for the quad batch: an IDirect3DDevice9 that forwards every call to a real device and
// records which calls were made, so a test can see the exact calls a flush issues.
#pragma once

#include <string>
#include <vector>

#include "platform/d3d9/d3d9.h"

class RecordingDevice final : public IDirect3DDevice9 {
 public:
  explicit RecordingDevice(IDirect3DDevice9* real) : m_real(real) {}

  struct Draw {
    UINT primitives;
    UINT stride;
    DWORD fvf;
    IDirect3DBaseTexture9* texture;
  };
  std::vector<std::string> calls;  // every call, by name, in order
  std::vector<Draw> draws;         // every DrawPrimitiveUP with the FVF and texture then in force

  // Lifetime belongs to the test (an object on its stack); reference counting is not forwarded.
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    return Log("QueryInterface", m_real->QueryInterface(riid, ppv));
  }
  ULONG AddRef() override { return Log("AddRef", 1u); }
  ULONG Release() override { return Log("Release", 1u); }

  HRESULT TestCooperativeLevel() override { return Log("TestCooperativeLevel", m_real->TestCooperativeLevel()); }
  HRESULT GetDeviceCaps(D3DCAPS9* c) override { return Log("GetDeviceCaps", m_real->GetDeviceCaps(c)); }
  HRESULT GetDisplayMode(UINT s, D3DDISPLAYMODE* m) override {
    return Log("GetDisplayMode", m_real->GetDisplayMode(s, m));
  }
  HRESULT SetCursorProperties(UINT x, UINT y, IDirect3DSurface9* b) override {
    return Log("SetCursorProperties", m_real->SetCursorProperties(x, y, b));
  }
  void SetCursorPosition(int x, int y, DWORD f) override {
    calls.push_back("SetCursorPosition");
    m_real->SetCursorPosition(x, y, f);
  }
  BOOL ShowCursor(BOOL s) override { return Log("ShowCursor", m_real->ShowCursor(s)); }
  HRESULT Reset(D3DPRESENT_PARAMETERS* p) override { return Log("Reset", m_real->Reset(p)); }
  HRESULT Present(const RECT* s, const RECT* d, HWND w, const RGNDATA* r) override {
    return Log("Present", m_real->Present(s, d, w, r));
  }
  HRESULT GetBackBuffer(UINT s, UINT i, D3DBACKBUFFER_TYPE t, IDirect3DSurface9** b) override {
    return Log("GetBackBuffer", m_real->GetBackBuffer(s, i, t, b));
  }
  HRESULT CreateTexture(UINT w, UINT h, UINT l, DWORD u, D3DFORMAT f, D3DPOOL p, IDirect3DTexture9** t,
                        HANDLE* sh) override {
    return Log("CreateTexture", m_real->CreateTexture(w, h, l, u, f, p, t, sh));
  }
  HRESULT CreateVertexBuffer(UINT n, DWORD u, DWORD f, D3DPOOL p, IDirect3DVertexBuffer9** b, HANDLE* sh) override {
    return Log("CreateVertexBuffer", m_real->CreateVertexBuffer(n, u, f, p, b, sh));
  }
  HRESULT CreateOffscreenPlainSurface(UINT w, UINT h, D3DFORMAT f, D3DPOOL p, IDirect3DSurface9** s,
                                      HANDLE* sh) override {
    return Log("CreateOffscreenPlainSurface", m_real->CreateOffscreenPlainSurface(w, h, f, p, s, sh));
  }
  HRESULT BeginScene() override { return Log("BeginScene", m_real->BeginScene()); }
  HRESULT EndScene() override { return Log("EndScene", m_real->EndScene()); }
  HRESULT Clear(DWORD n, const D3DRECT* r, DWORD f, D3DCOLOR c, float z, DWORD s) override {
    return Log("Clear", m_real->Clear(n, r, f, c, z, s));
  }
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE s, const D3DMATRIX* m) override {
    return Log("SetTransform", m_real->SetTransform(s, m));
  }
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX* m) override {
    return Log("GetTransform", m_real->GetTransform(s, m));
  }
  HRESULT SetMaterial(const D3DMATERIAL9* m) override { return Log("SetMaterial", m_real->SetMaterial(m)); }
  HRESULT SetLight(DWORD i, const D3DLIGHT9* l) override { return Log("SetLight", m_real->SetLight(i, l)); }
  HRESULT LightEnable(DWORD i, BOOL e) override { return Log("LightEnable", m_real->LightEnable(i, e)); }
  HRESULT SetRenderState(D3DRENDERSTATETYPE s, DWORD v) override {
    return Log("SetRenderState", m_real->SetRenderState(s, v));
  }
  HRESULT GetRenderState(D3DRENDERSTATETYPE s, DWORD* v) override {
    return Log("GetRenderState", m_real->GetRenderState(s, v));
  }
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* t) override {
    if (stage == 0) m_texture = t;
    return Log("SetTexture", m_real->SetTexture(stage, t));
  }
  HRESULT SetTextureStageState(DWORD st, D3DTEXTURESTAGESTATETYPE t, DWORD v) override {
    return Log("SetTextureStageState", m_real->SetTextureStageState(st, t, v));
  }
  HRESULT SetSamplerState(DWORD s, D3DSAMPLERSTATETYPE t, DWORD v) override {
    return Log("SetSamplerState", m_real->SetSamplerState(s, t, v));
  }
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE t, UINT v, UINT n) override {
    return Log("DrawPrimitive", m_real->DrawPrimitive(t, v, n));
  }
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE t, UINT n, const void* data, UINT stride) override {
    draws.push_back({n, stride, m_fvf, m_texture});
    return Log("DrawPrimitiveUP", m_real->DrawPrimitiveUP(t, n, data, stride));
  }
  HRESULT SetFVF(DWORD fvf) override {
    m_fvf = fvf;
    return Log("SetFVF", m_real->SetFVF(fvf));
  }
  HRESULT SetStreamSource(UINT n, IDirect3DVertexBuffer9* b, UINT o, UINT s) override {
    return Log("SetStreamSource", m_real->SetStreamSource(n, b, o, s));
  }
  HRESULT SetScissorRect(const RECT* r) override { return Log("SetScissorRect", m_real->SetScissorRect(r)); }
  HRESULT GetScissorRect(RECT* r) override { return Log("GetScissorRect", m_real->GetScissorRect(r)); }

 private:
  template <typename T>
  T Log(const char* name, T result) {
    calls.push_back(name);
    return result;
  }

  IDirect3DDevice9* m_real;
  DWORD m_fvf = 0;
  IDirect3DBaseTexture9* m_texture = nullptr;
};
