// The device's fixed-function state, mirrored in one struct. Setters validate at the API
// edge, return early when nothing changes and otherwise set the dirty bits that the
// device's PrepareDraw turns into GL calls before the next draw. Device thread only.
#pragma once

#include <array>
#include <cstdint>
#include <map>

#include "platform/d3d9/d3d9.h"

namespace d3d9 {

enum DirtyBit : std::uint32_t {
  kDirtyRaster = 1u << 0,        // cull mode, depth test/write/func
  kDirtyBlend = 1u << 1,         // blend enable, factors, op
  kDirtyFragment = 1u << 2,      // texture stage ops and args, texture factor, alpha test
  kDirtyLighting = 1u << 3,      // lighting switch, material, lights, ambient, colour sources
  kDirtyTransform = 1u << 4,     // world, view, projection
  kDirtyTexTransform = 1u << 5,  // texture matrix and its flags
  kDirtySampler = 1u << 6,       // filters, addressing, border colour
  kDirtyTexture = 1u << 7,       // the texture bound to stage 0
  kDirtyScissor = 1u << 8,       // scissor test switch and rectangle
  kDirtyAll = 0x1ffu,
};

struct LightSlot {
  D3DLIGHT9 light{};
  bool enabled = false;
};

struct DeviceState {
  static constexpr DWORD kRenderStates = 256;
  static constexpr DWORD kStages = 8;
  static constexpr DWORD kStageStates = 33;
  static constexpr DWORD kSamplers = 16;
  static constexpr DWORD kSamplerStates = 14;

  std::array<DWORD, kRenderStates> render{};
  std::array<std::array<DWORD, kStageStates>, kStages> stage{};
  std::array<std::array<DWORD, kSamplerStates>, kSamplers> sampler{};
  D3DMATRIX world{}, view{}, projection{};
  std::array<D3DMATRIX, kStages> textureMatrix{};
  D3DMATERIAL9 material{};
  std::map<DWORD, LightSlot> lights;
  // Bindings are not counted references; the device unbinds a resource when it is destroyed.
  std::array<IDirect3DBaseTexture9*, kStages> textures{};
  DWORD fvf = 0;
  IDirect3DVertexBuffer9* stream = nullptr;
  UINT streamOffset = 0;
  UINT streamStride = 0;
  RECT scissor{};
  std::uint32_t dirty = kDirtyAll;

  // Direct3D's defaults for a new or reset device with a back buffer of that size.
  void SetDefaults(bool autoDepthStencil, UINT width, UINT height);

  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value);
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const;
  HRESULT SetMaterial(const D3DMATERIAL9* value);
  HRESULT SetLight(DWORD index, const D3DLIGHT9* value);
  HRESULT LightEnable(DWORD index, BOOL enable);
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture);
  HRESULT SetFVF(DWORD value);
  HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride);
  HRESULT SetScissorRect(const RECT* rect);

  // Forgets every binding of a resource that is going away.
  void Unbind(const IUnknown* resource);
};

// Float RGBA of a Direct3D ARGB colour.
std::array<float, 4> ColorToFloat(D3DCOLOR color);

}  // namespace d3d9
