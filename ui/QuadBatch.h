// The shared 2D quad batch through which all screen drawing goes: pre-transformed quads in two
// fixed vertex lists (textured and plain), drawn with one DrawPrimitiveUP per list at each flush.
// Reached through g_quadBatch; created and destroyed with the device. Frame thread only, between
// BeginScene and EndScene.
//
// Use per group: BeginTextured(texture or null), set m_color, append, Flush. Textured quads are
// drawn before plain ones of the same group whatever the order of appending.
#pragma once

#include <memory>

#include "platform/d3d9/d3d9.h"

struct TexturedVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};
struct PlainVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
};
static_assert(sizeof(TexturedVertex) == 28 && sizeof(PlainVertex) == 20);

constexpr DWORD TEXTURED_VERTEX_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x144
constexpr DWORD PLAIN_VERTEX_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;                   // 0x44
constexpr UINT QUAD_BATCH_TEXTURED_QUADS = 2400;
constexpr UINT QUAD_BATCH_PLAIN_QUADS = 1200;

class CQuadBatch {
 public:
  // Allocates both lists for a device; with a null device there are no lists, every append is
  // ignored and nothing touches a device.
  explicit CQuadBatch(IDirect3DDevice9* device);
  CQuadBatch(const CQuadBatch&) = delete;
  CQuadBatch& operator=(const CQuadBatch&) = delete;

  // Selects the texture (not owned; null for untextured quads), discards anything not flushed and
  // sets the blend, alpha-test and cull states; with a texture also its level-0 size, stage 0
  // modulation and sampler 0 (border addressing, point filtering). The states stay set.
  void BeginTextured(IDirect3DTexture9* texture);

  // Appends the destination rectangle (screen pixels) showing the source rectangle (texels),
  // rotated by angle radians about its centre; flipVertical swaps the top and bottom v. Texture
  // coordinates sit half a texel in (half a pixel's worth of texels when enlarged), so a 1:1 quad
  // samples texel centres and an enlarged one ends on the rectangle's own last texels. Ignored
  // while no texture (or one of unknown size) is selected.
  void AddTexturedQuad(int dstX, int dstY, int dstW, int dstH, int srcX, int srcY, int srcW, int srcH,
                       bool flipVertical, float angle);
  // Appends an untextured rectangle in m_color.
  void AddRect(int x, int y, int w, int h);

  // Draws the textured list, then the plain list, one call each, and empties both. Nothing
  // appended: no device call.
  void Flush();

  // A full list is flushed before the next append to it, so appends never write past a list
  // and no quad is lost; the cost is an extra pair of draw calls, which the program's groups
  // (a handful of quads) never reach.

  UINT TexturedTriangleCount() const { return m_texturedCount; }
  UINT PlainTriangleCount() const { return m_plainCount; }
  const TexturedVertex* TexturedVertices() const { return m_texturedList.get(); }
  const PlainVertex* PlainVertices() const { return m_plainList.get(); }

  D3DCOLOR m_color = 0xFFFFFFFF;  // given to every vertex appended next
  float m_depth = 1.0f;           // z of every vertex appended

 private:
  IDirect3DDevice9* m_device;
  IDirect3DTexture9* m_texture = nullptr;
  UINT m_texturedCount = 0;  // triangles
  UINT m_plainCount = 0;
  UINT m_textureWidth = 0;
  UINT m_textureHeight = 0;
  std::unique_ptr<TexturedVertex[]> m_texturedList;
  std::unique_ptr<PlainVertex[]> m_plainList;
};

// Destroys any batch in g_quadBatch and stores a new one for the device there. False for a null
// device (the batch is still stored, without lists).
bool CreateQuadBatch(IDirect3DDevice9* device);
// Frees the batch in g_quadBatch, if any, and clears g_quadBatch.
void DestroyQuadBatch();
