#include "ui/QuadBatch.h"

#include <cmath>
#include <utility>

#include "scene/SceneGlobals.h"

namespace {

constexpr UINT kTexturedTriangles = QUAD_BATCH_TEXTURED_QUADS * 2;
constexpr UINT kPlainTriangles = QUAD_BATCH_PLAIN_QUADS * 2;

// The six vertices of a quad: (top left, top right, bottom left), (bottom left, top right, bottom
// right); both clockwise on screen, which counter-clockwise culling keeps.
template <typename Vertex>
void WriteQuad(Vertex* out, const Vertex& tl, const Vertex& tr, const Vertex& bl, const Vertex& br) {
  out[0] = tl;
  out[1] = tr;
  out[2] = bl;
  out[3] = bl;
  out[4] = tr;
  out[5] = br;
}

}  // namespace

CQuadBatch::CQuadBatch(IDirect3DDevice9* device) : m_device(device) {
  if (!device) return;
  m_texturedList = std::make_unique<TexturedVertex[]>(kTexturedTriangles * 3);
  m_plainList = std::make_unique<PlainVertex[]>(kPlainTriangles * 3);
}

void CQuadBatch::BeginTextured(IDirect3DTexture9* texture) {
  m_texture = texture;
  m_texturedCount = 0;
  m_plainCount = 0;
  m_textureWidth = 0;
  m_textureHeight = 0;
  if (!m_device) return;

  m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  m_device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  m_device->SetRenderState(D3DRS_ALPHAREF, 8);
  m_device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  if (!texture) return;

  D3DSURFACE_DESC desc{};
  if (SUCCEEDED(texture->GetLevelDesc(0, &desc))) {
    m_textureWidth = desc.Width;
    m_textureHeight = desc.Height;
  }
  m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  m_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  m_device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER);
  m_device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_BORDER);
  m_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  m_device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
}

void CQuadBatch::AddTexturedQuad(int dstX, int dstY, int dstW, int dstH, int srcX, int srcY, int srcW, int srcH,
                                 bool flipVertical, float angle) {
  if (!m_texturedList || !m_texture || m_textureWidth == 0 || m_textureHeight == 0) return;
  if (m_texturedCount + 2 > kTexturedTriangles) Flush();

  const float cx = dstX + dstW * 0.5f;
  const float cy = dstY + dstH * 0.5f;
  const float left = dstX - cx;
  const float right = dstX + dstW - cx;
  const float top = dstY - cy;
  const float bottom = dstY + dstH - cy;
  const float c = std::cos(angle);
  const float s = std::sin(angle);

  const float tw = static_cast<float>(m_textureWidth);
  const float th = static_cast<float>(m_textureHeight);
  // Pixel centres lie on the quad's left and top edges, so both edges are shifted by half a
  // pixel: half a texel at 1:1 and when shrinking. Enlarged, half a pixel is less than half a
  // texel; a whole half texel there would push the last pixel centres past the rectangle's last
  // texel into the border (black from 200 % on), so the shift is half a pixel in texels instead
  // and every texel of the rectangle, the last included, gets its share of pixels.
  const float du = dstW > srcW && dstW > 0 ? 0.5f * srcW / dstW : 0.5f;
  const float dv = dstH > srcH && dstH > 0 ? 0.5f * srcH / dstH : 0.5f;
  const float u0 = (srcX + du) / tw;
  const float u1 = (srcX + srcW + du) / tw;
  // Flipped, the rows run from the rectangle's last texel up to its first, so the top edge sits
  // the shift inside the bottom row: the quad then samples exactly the source rows, mirrored,
  // and never the row below the rectangle.
  const float v0 = flipVertical ? (srcY + srcH - dv) / th : (srcY + dv) / th;
  const float v1 = flipVertical ? (srcY - dv) / th : (srcY + srcH + dv) / th;

  auto corner = [&](float ox, float oy, float u, float v) {
    return TexturedVertex{cx + ox * c - oy * s, cy + ox * s + oy * c, m_depth, 1.0f, m_color, u, v};
  };
  WriteQuad(&m_texturedList[m_texturedCount * 3], corner(left, top, u0, v0), corner(right, top, u1, v0),
            corner(left, bottom, u0, v1), corner(right, bottom, u1, v1));
  m_texturedCount += 2;
}

void CQuadBatch::AddRect(int x, int y, int w, int h) {
  if (!m_plainList) return;
  if (m_plainCount + 2 > kPlainTriangles) Flush();

  const float x0 = static_cast<float>(x), y0 = static_cast<float>(y);
  const float x1 = static_cast<float>(x + w), y1 = static_cast<float>(y + h);
  auto corner = [&](float px, float py) { return PlainVertex{px, py, m_depth, 1.0f, m_color}; };
  WriteQuad(&m_plainList[m_plainCount * 3], corner(x0, y0), corner(x1, y0), corner(x0, y1), corner(x1, y1));
  m_plainCount += 2;
}

void CQuadBatch::Flush() {
  if (m_device && m_texturedCount != 0) {
    m_device->SetTexture(0, m_texture);
    m_device->SetFVF(TEXTURED_VERTEX_FVF);
    m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, m_texturedCount, m_texturedList.get(), sizeof(TexturedVertex));
  }
  if (m_device && m_plainCount != 0) {
    m_device->SetTexture(0, nullptr);
    m_device->SetFVF(PLAIN_VERTEX_FVF);
    m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, m_plainCount, m_plainList.get(), sizeof(PlainVertex));
  }
  m_texturedCount = 0;
  m_plainCount = 0;
}

bool CreateQuadBatch(IDirect3DDevice9* device) {
  DestroyQuadBatch();
  g_quadBatch = new CQuadBatch(device);
  return device != nullptr;
}

void DestroyQuadBatch() {
  delete g_quadBatch;
  g_quadBatch = nullptr;
}
