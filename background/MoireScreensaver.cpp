#include "background/MoireScreensaver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/win32/win32.h"
#include "scene/TextureTable.h"

namespace {

struct MoireVertex {  // D3DFVF_XYZ | D3DFVF_TEX1
  float x, y, z;
  float u, v;
};
constexpr DWORD kMoireFvf = D3DFVF_XYZ | D3DFVF_TEX1;
static_assert(sizeof(MoireVertex) == 20);

// Two planes meeting along y = 0, z = 10: a floor rising from y = -0.1 and a ceiling falling
// from y = 0.1. The vertex orders fix which side faces the camera.
constexpr MoireVertex kPlanes[12] = {
    {10, -0.1f, -10, 0, 0}, {-10, -0.1f, -10, 10, 0}, {10, 0, 10, 0, 10},  {-10, -0.1f, -10, 10, 0},
    {-10, 0, 10, 10, 10},   {10, 0, 10, 0, 10},       {-10, 0, 10, 0, 10}, {-10, 0.1f, -10, 0, 0},
    {10, 0.1f, -10, 10, 0}, {10, 0.1f, -10, 10, 0},   {10, 0, 10, 10, 10}, {-10, 0, 10, 0, 10},
};

// A wall square in the plane z = 0, facing the camera.
constexpr MoireVertex kWall[6] = {
    {20, -20, 0, 10, 10}, {-20, -20, 0, 0, 10}, {20, 20, 0, 10, 0},
    {-20, -20, 0, 0, 10}, {-20, 20, 0, 0, 0},   {20, 20, 0, 10, 0},
};

// A tunnel seen from inside: a cone with its base of radius 10 around the camera axis at
// z = -10 and its apex at (0, 0, 100), 48 triangles.
std::vector<MoireVertex> Cone() {
  constexpr int kSides = 48;
  const float step = 2 * D3DX_PI / kSides;
  std::vector<MoireVertex> vertices;
  vertices.reserve(3 * kSides);
  for (int i = 0; i < kSides; ++i) {
    const float a0 = static_cast<float>(i) * step, a1 = static_cast<float>(i + 1) * step;
    vertices.push_back({10 * std::cos(a0), 10 * std::sin(a0), -10, 5 * std::cos(a0), 5 * std::sin(a0)});
    vertices.push_back({0, 0, 100, 0, 0});
    vertices.push_back({10 * std::cos(a1), 10 * std::sin(a1), -10, 5 * std::cos(a1), 5 * std::sin(a1)});
  }
  return vertices;
}

constexpr const char16_t* kTextureFiles[CMoireScreensaver::kTextureCount] = {u"image\\ball.bmp", u"image\\stripes.bmp",
                                                                             u"image\\noise.bmp", u"image\\spiral.bmp"};

template <typename T>
void ReleaseAll(T& pointers) {
  for (auto& p : pointers) {
    if (p) {
      p->Release();
      p = nullptr;
    }
  }
}

D3DMATERIAL9 PassMaterial(const CMoireScreensaver::Color& c) {
  const D3DCOLORVALUE value{c[0], c[1], c[2], c[3]};
  D3DMATERIAL9 material{};
  material.Diffuse = material.Ambient = material.Specular = material.Emissive = value;
  material.Power = 0;
  return material;
}

DWORD ToByte(float component) {
  if (component >= 1) return 255;
  if (!(component > 0)) return 0;
  return static_cast<DWORD>(component * 255 + 0.5f);
}

}  // namespace

CMoireScreensaver::CMoireScreensaver(IDirect3DDevice9* device, HWND window, const CFrameTimer& timer)
    : m_device(device),
      m_meshChannel{30, DrawBelow(m_random, kMeshCount)},
      m_textureChannel{90, DrawBelow(m_random, kTextureCount)},
      m_colorChannel{60, DrawBelow(m_random, kSchemeCount)},
      m_timer(&timer) {
  if (!window || !GetClientRect(window, &m_clientRect)) m_clientRect = {};
  CreateResources();
}

CMoireScreensaver::~CMoireScreensaver() {
  ReleaseResources();
}

HRESULT CMoireScreensaver::CreateResources() {
  if (!m_device) return S_OK;
  const D3DXVECTOR3 eye(0, 0, -10), at(0, 0, 0), up(0, 1, 0);
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  m_device->SetTransform(D3DTS_VIEW, &view);
  m_device->SetRenderState(D3DRS_DITHERENABLE, TRUE);
  m_device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
  if (FAILED(CreateMeshes())) return E_FAIL;
  return LoadTextures();
}

HRESULT CMoireScreensaver::CreateMeshes() {
  ReleaseAll(m_meshes);
  const std::vector<MoireVertex> cone = Cone();
  const struct {
    const MoireVertex* vertices;
    UINT count;
  } tables[kMeshCount] = {{kPlanes, 12}, {kWall, 6}, {cone.data(), static_cast<UINT>(cone.size())}};
  for (int i = 0; i < kMeshCount; ++i) {
    const UINT bytes = tables[i].count * sizeof(MoireVertex);
    IDirect3DVertexBuffer9* buffer = nullptr;
    if (FAILED(m_device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, kMoireFvf, D3DPOOL_MANAGED, &buffer, nullptr)))
      return E_FAIL;
    m_meshes[i] = buffer;
    void* data = nullptr;
    if (FAILED(buffer->Lock(0, 0, &data, 0))) return E_FAIL;
    std::memcpy(data, tables[i].vertices, bytes);
    buffer->Unlock();
    m_vertexCounts[i] = tables[i].count;
  }
  return S_OK;
}

HRESULT CMoireScreensaver::LoadTextures() {
  ReleaseAll(m_textures);
  CTextureTable loader(m_device);  // only its loading routine: the table records nothing
  for (int i = 0; i < kTextureCount; ++i) {
    if (FAILED(loader.CreateTextureFromImageFile(kTextureFiles[i], &m_textures[i]))) {
      m_textures[i] = nullptr;
      return E_FAIL;
    }
  }
  return S_OK;
}

HRESULT CMoireScreensaver::ReleaseResources() {
  ReleaseAll(m_meshes);
  ReleaseAll(m_textures);
  return S_OK;
}

std::array<CMoireScreensaver::Color, 3> CMoireScreensaver::SchemeColors(int scheme, float t) {
  const float p = (std::sin(t) + 1) / 2;
  const float q = (std::cos(t) + 1) / 4;
  switch (scheme) {
    case 0:
      return {{{p, q, 0, 1}, {q, p, 0, 1}, {0, 0, 0.5f, 1}}};
    case 1:
      return {{{0, p, q, 1}, {0, q, p, 1}, {0.5f, 0, 0, 1}}};
    case 2:
      return {{{p, 0, q, 1}, {q, 0, p, 1}, {0, 0.5f, 0, 1}}};
    default:
      return {{{p, p, p, 1}, {q, q, q, 1}, {0, 0, 0, 1}}};
  }
}

void CMoireScreensaver::SetAllColors(const std::array<Color, 3>& colors) {
  m_layer1Color = colors[0];
  m_layer2Color = colors[1];
  m_clearColor = colors[2];
}

void CMoireScreensaver::ScaleAllColors(float factor) {
  for (Color* color : {&m_layer1Color, &m_layer2Color, &m_clearColor})
    for (float& component : *color) component *= factor;
}

HRESULT CMoireScreensaver::Update() {
  const float t = static_cast<float>(m_timer->AppTime());
  m_time = t;

  m_layer1Scale = (std::sin(t / 20) + 1) * 2;
  m_layer2Scale = (std::sin(t * 0.125f) + 1) * 2;
  m_layer2Rotation = t * 0.025f;

  if (m_colorChannel.Advance(t)) m_colorChannel.ChooseOther(m_random, kSchemeCount);
  if (m_colorChannel.transitionStart == 0) {
    SetAllColors(SchemeColors(m_colorChannel.current, t));
  } else if (t > m_colorChannel.transitionStart + 1) {
    // The cross-fade is over; the colours of the previous frame stay for this one.
    m_colorChannel.transitionStart = 0;
    m_colorChannel.previous = -1;
  } else {
    const float x = t - m_colorChannel.transitionStart;
    const auto from = SchemeColors(m_colorChannel.previous, t);
    const auto to = SchemeColors(m_colorChannel.current, t);
    std::array<Color, 3> mixed;
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 4; ++k) mixed[c][k] = from[c][k] + (to[c][k] - from[c][k]) * x;
    SetAllColors(mixed);
  }

  // Texture and mesh switches dim whatever the colour channel left, so overlapping ones multiply.
  m_textureChannel.Advance(t);
  const float textureFade = m_textureChannel.PassThroughBlack(t, m_random, kTextureCount);
  if (textureFade != 1) ScaleAllColors(textureFade);
  m_meshChannel.Advance(t);
  const float meshFade = m_meshChannel.PassThroughBlack(t, m_random, kMeshCount);
  if (meshFade != 1) ScaleAllColors(meshFade);
  return S_OK;
}

D3DCOLOR CMoireScreensaver::ToArgb(const Color& color) {
  return ToByte(color[3]) << 24 | ToByte(color[0]) << 16 | ToByte(color[1]) << 8 | ToByte(color[2]);
}

bool CMoireScreensaver::ProjectionFor(const RECT& client, D3DXMATRIX* projection) {
  const LONG width = client.right - client.left, height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return false;
  const float m = static_cast<float>(std::min(width, height));
  const LONG cx = (client.left + client.right) / 2, cy = (client.top + client.bottom) / 2;
  const auto edge = [m](LONG offset) { return static_cast<float>(offset) / m * 0.05f; };
  D3DXMatrixPerspectiveOffCenterLH(projection, edge(client.left - cx), edge(client.right - cx), edge(client.top - cy),
                                   edge(client.bottom - cy), 0.05f, 120.0f);
  return true;
}

HRESULT CMoireScreensaver::Draw() {
  if (!m_device) return S_OK;
  D3DXMATRIX projection;
  if (ProjectionFor(m_clientRect, &projection)) m_device->SetTransform(D3DTS_PROJECTION, &projection);

  m_device->SetTexture(0, m_textures[m_textureChannel.current]);
  m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  m_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  m_device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
  m_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  m_device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);

  // Additive, weighted by the texture's alpha, so keyed texels add nothing.
  m_device->SetRenderState(D3DRS_LIGHTING, TRUE);
  m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);

  IDirect3DVertexBuffer9* mesh = m_meshes[m_meshChannel.current];
  m_device->SetFVF(kMoireFvf);
  m_device->SetStreamSource(0, mesh, 0, sizeof(MoireVertex));

  m_device->Clear(0, nullptr, D3DCLEAR_TARGET, ToArgb(m_clearColor), 1.0f, 0);
  if (FAILED(m_device->BeginScene())) return S_OK;

  const UINT triangles = m_vertexCounts[m_meshChannel.current] / 3;
  D3DXMATRIX scaling, rotation, transform;
  D3DXMatrixScaling(&transform, m_layer1Scale, m_layer1Scale, 1);
  m_device->SetTransform(D3DTS_TEXTURE0, &transform);
  D3DMATERIAL9 material = PassMaterial(m_layer1Color);
  m_device->SetMaterial(&material);
  if (mesh) m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);

  D3DXMatrixScaling(&scaling, m_layer2Scale, m_layer2Scale, 1);
  D3DXMatrixRotationZ(&rotation, m_layer2Rotation);
  D3DXMatrixMultiply(&transform, &scaling, &rotation);
  m_device->SetTransform(D3DTS_TEXTURE0, &transform);
  material = PassMaterial(m_layer2Color);
  m_device->SetMaterial(&material);
  if (mesh) m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);

  m_device->EndScene();
  return S_OK;
}
