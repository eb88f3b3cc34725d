#include "platform/d3dx9/Sprite.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/kit/Guarded.h"
#include "platform/kit/LogOnce.h"

namespace d3dx {
namespace {

struct SpriteVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};
static_assert(sizeof(SpriteVertex) == 28);
constexpr DWORD kSpriteFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The render states the sprite sets, put back at End.
constexpr D3DRENDERSTATETYPE kSavedStates[] = {
    D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND, D3DRS_BLENDOP,  D3DRS_ALPHATESTENABLE, D3DRS_ALPHAREF,
    D3DRS_ALPHAFUNC,        D3DRS_ZENABLE,  D3DRS_CULLMODE,  D3DRS_LIGHTING, D3DRS_FOGENABLE,
};
constexpr std::size_t kSavedCount = std::size(kSavedStates);
constexpr DWORD kKnownFlags =
    D3DXSPRITE_DONOTSAVESTATE | D3DXSPRITE_DONOTMODIFY_RENDERSTATE | D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE;

struct QueuedQuad {
  IDirect3DTexture9* texture;
  SpriteQuad quad;
};

}  // namespace

struct Sprite::State {
  IDirect3DDevice9* device = nullptr;
  bool begun = false;
  DWORD flags = 0;
  DWORD saved[kSavedCount] = {};
  bool savedValid[kSavedCount] = {};
  std::vector<QueuedQuad> queue;
  std::vector<SpriteVertex> vertices;

  void SetStates() {
    if (flags & D3DXSPRITE_DONOTSAVESTATE) {
      std::fill(std::begin(savedValid), std::end(savedValid), false);
    } else {
      for (std::size_t i = 0; i < kSavedCount; ++i)
        savedValid[i] = SUCCEEDED(device->GetRenderState(kSavedStates[i], &saved[i]));
    }
    if (flags & D3DXSPRITE_DONOTMODIFY_RENDERSTATE) return;
    const bool blend = (flags & D3DXSPRITE_ALPHABLEND) != 0;
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    // Fully transparent texels write nothing.
    device->SetRenderState(D3DRS_ALPHATESTENABLE, blend);
    device->SetRenderState(D3DRS_ALPHAREF, 0);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  }

  void RestoreStates() {
    for (std::size_t i = 0; i < kSavedCount; ++i) {
      if (savedValid[i]) device->SetRenderState(kSavedStates[i], saved[i]);
    }
  }

  void DropQueue() {
    for (QueuedQuad& q : queue) q.texture->Release();
    queue.clear();
  }

  HRESULT Draw() {
    if (queue.empty()) return S_OK;
    if (flags & D3DXSPRITE_SORT_TEXTURE) {
      // Group by texture in the order each texture was first used; quads keep their order
      // within a group.
      std::vector<IDirect3DTexture9*> order;
      for (const QueuedQuad& q : queue) {
        if (std::find(order.begin(), order.end(), q.texture) == order.end()) order.push_back(q.texture);
      }
      std::stable_sort(queue.begin(), queue.end(), [&order](const QueuedQuad& a, const QueuedQuad& b) {
        return std::find(order.begin(), order.end(), a.texture) < std::find(order.begin(), order.end(), b.texture);
      });
    }
    HRESULT result = S_OK;
    device->SetFVF(kSpriteFvf);
    for (std::size_t first = 0; first < queue.size();) {
      std::size_t last = first;
      vertices.clear();
      while (last < queue.size() && queue[last].texture == queue[first].texture) {
        const SpriteQuad& s = queue[last].quad;
        const SpriteVertex tl{s.left, s.top, 0.0f, 1.0f, s.color, s.u0, s.v0};
        const SpriteVertex tr{s.right, s.top, 0.0f, 1.0f, s.color, s.u1, s.v0};
        const SpriteVertex bl{s.left, s.bottom, 0.0f, 1.0f, s.color, s.u0, s.v1};
        const SpriteVertex br{s.right, s.bottom, 0.0f, 1.0f, s.color, s.u1, s.v1};
        vertices.insert(vertices.end(), {tl, tr, bl, bl, tr, br});
        ++last;
      }
      device->SetTexture(0, queue[first].texture);
      const HRESULT hr = device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3),
                                                 vertices.data(), sizeof(SpriteVertex));
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
      first = last;
    }
    DropQueue();
    return result;
  }
};

Sprite::Sprite(IDirect3DDevice9* device) : state_(std::make_unique<State>()) {
  state_->device = device;
  device->AddRef();
}

Sprite::~Sprite() {
  state_->DropQueue();
  state_->device->Release();
}

HRESULT Sprite::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown) {
    AddRef();
    *ppv = static_cast<IUnknown*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT Sprite::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  state_->device->AddRef();
  *ppDevice = state_->device;
  return S_OK;
}

HRESULT Sprite::Begin(DWORD Flags) {
  if (state_->begun) return D3DERR_INVALIDCALL;
  if (Flags & ~kKnownFlags) kit::LogOnce("d3d9", "Begin", "flags " + std::to_string(Flags & ~kKnownFlags) + " ignored");
  state_->flags = Flags;
  state_->begun = true;
  state_->SetStates();
  return S_OK;
}

HRESULT Sprite::Flush() {
  if (!state_->begun) return D3DERR_INVALIDCALL;
  return state_->Draw();
}

HRESULT Sprite::End() {
  if (!state_->begun) return D3DERR_INVALIDCALL;
  const HRESULT hr = state_->Draw();
  state_->RestoreStates();
  state_->begun = false;
  return hr;
}

HRESULT Sprite::OnLostDevice() {
  if (state_->begun) {
    state_->DropQueue();
    state_->RestoreStates();
    state_->begun = false;
  }
  return S_OK;
}

HRESULT Sprite::OnResetDevice() {
  return S_OK;
}

bool Sprite::AddQuad(IDirect3DTexture9* texture, const SpriteQuad& quad) {
  if (!state_->begun || !texture) return false;
  texture->AddRef();
  state_->queue.push_back({texture, quad});
  return true;
}

bool Sprite::begun() const {
  return state_->begun;
}

}  // namespace d3dx

HRESULT D3DXCreateSprite(IDirect3DDevice9* pDevice, ID3DXSprite** ppSprite) {
  return kit::Guarded([&]() -> HRESULT {
    if (ppSprite) *ppSprite = nullptr;
    if (!pDevice || !ppSprite) return D3DERR_INVALIDCALL;
    *ppSprite = new d3dx::Sprite(pDevice);
    return S_OK;
  });
}
