// The D3DX sprite: queues screen-space textured quads between Begin and End and draws them
// with DrawPrimitiveUP in pre-transformed vertices (FVF 0x144). Window's thread.
#pragma once

#include <memory>

#include "platform/d3dx9/d3dx9.h"
#include "platform/kit/RefCounted.h"

namespace d3dx {

// A quad in back-buffer pixels (edges, not pixel centres) and its texture coordinates.
struct SpriteQuad {
  float left, top, right, bottom;
  float u0, v0, u1, v1;
  D3DCOLOR color;
};

class Sprite final : public kit::RefCounted<ID3DXSprite> {
 public:
  explicit Sprite(IDirect3DDevice9* device);
  Sprite(const Sprite&) = delete;
  Sprite& operator=(const Sprite&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  HRESULT Begin(DWORD Flags) override;
  HRESULT Flush() override;
  HRESULT End() override;
  HRESULT OnLostDevice() override;
  HRESULT OnResetDevice() override;

  // Queues a quad; the sprite holds a reference to the texture until the quad is drawn.
  // False when the sprite is not begun.
  bool AddQuad(IDirect3DTexture9* texture, const SpriteQuad& quad);
  bool begun() const;

 private:
  ~Sprite() override;
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace d3dx
