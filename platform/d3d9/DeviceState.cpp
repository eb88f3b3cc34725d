#include "platform/d3d9/DeviceState.h"

#include <cstring>
#include <string>

#include "platform/kit/LogOnce.h"

namespace d3d9 {

namespace {

constexpr D3DMATRIX kIdentity = {{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};

bool SameBytes(const void* a, const void* b, std::size_t n) {
  return std::memcmp(a, b, n) == 0;
}

// Which dirty bits a render state feeds; 0 for states accepted without effect here.
std::uint32_t RenderStateDirty(D3DRENDERSTATETYPE state) {
  switch (state) {
    case D3DRS_ZENABLE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ZFUNC:
    case D3DRS_CULLMODE:
      return kDirtyRaster;
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_BLENDOP:
      return kDirtyBlend;
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC:
    case D3DRS_TEXTUREFACTOR:
      return kDirtyFragment;
    case D3DRS_LIGHTING:
    case D3DRS_AMBIENT:
    case D3DRS_COLORVERTEX:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
      return kDirtyLighting;
    case D3DRS_SCISSORTESTENABLE:
      return kDirtyScissor;
    default:
      return 0;
  }
}

// States that change nothing visible in what this layer draws, accepted silently.
bool IsHarmlessState(D3DRENDERSTATETYPE state) {
  switch (state) {
    case D3DRS_DITHERENABLE:
    case D3DRS_SPECULARENABLE:  // specular light needs normals, which the program never sends
    case D3DRS_LASTPIXEL:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_SPECULARMATERIALSOURCE:
      return true;
    default:
      return false;
  }
}

// A supported state set to a value this layer cannot honour; empty when the value is fine.
std::string UnsupportedValue(D3DRENDERSTATETYPE state, DWORD value) {
  switch (state) {
    case D3DRS_ZENABLE:
      return value > D3DZB_TRUE ? "w-buffering" : "";
    case D3DRS_FILLMODE:
      return value != D3DFILL_SOLID ? "fill mode other than solid" : "";
    case D3DRS_SHADEMODE:
      return value != D3DSHADE_GOURAUD ? "shade mode other than Gouraud" : "";
    case D3DRS_FOGENABLE:
      return value ? "fog" : "";
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
      return value < D3DBLEND_ZERO || value > D3DBLEND_SRCALPHASAT ? "blend factor " + std::to_string(value) : "";
    case D3DRS_BLENDOP:
      return value < D3DBLENDOP_ADD || value > D3DBLENDOP_MAX ? "blend op " + std::to_string(value) : "";
    case D3DRS_CULLMODE:
      return value < D3DCULL_NONE || value > D3DCULL_CCW ? "cull mode " + std::to_string(value) : "";
    case D3DRS_ZFUNC:
    case D3DRS_ALPHAFUNC:
      return value < D3DCMP_NEVER || value > D3DCMP_ALWAYS ? "compare function " + std::to_string(value) : "";
    default:
      return "";
  }
}

}  // namespace

std::array<float, 4> ColorToFloat(D3DCOLOR color) {
  return {((color >> 16) & 0xff) / 255.0f, ((color >> 8) & 0xff) / 255.0f, (color & 0xff) / 255.0f,
          (color >> 24) / 255.0f};
}

void DeviceState::SetDefaults(bool autoDepthStencil, UINT width, UINT height) {
  render.fill(0);
  render[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  render[D3DRS_FILLMODE] = D3DFILL_SOLID;
  render[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  render[D3DRS_ZWRITEENABLE] = TRUE;
  render[D3DRS_LASTPIXEL] = TRUE;
  render[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  render[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  render[D3DRS_CULLMODE] = D3DCULL_CCW;
  render[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  render[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  render[D3DRS_TEXTUREFACTOR] = 0xffffffff;
  render[D3DRS_LIGHTING] = TRUE;
  render[D3DRS_COLORVERTEX] = TRUE;
  render[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  render[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  render[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  render[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  render[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  for (DWORD s = 0; s < kStages; ++s) {
    stage[s].fill(0);
    stage[s][D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    stage[s][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    stage[s][D3DTSS_COLORARG2] = D3DTA_CURRENT;
    stage[s][D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    stage[s][D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    stage[s][D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    stage[s][D3DTSS_TEXCOORDINDEX] = s;
    textureMatrix[s] = kIdentity;
  }
  for (auto& samp : sampler) {
    samp.fill(0);
    samp[D3DSAMP_ADDRESSU] = samp[D3DSAMP_ADDRESSV] = samp[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    samp[D3DSAMP_MAGFILTER] = samp[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    samp[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
  }
  world = view = projection = kIdentity;
  material = {};
  lights.clear();
  textures.fill(nullptr);
  fvf = 0;
  stream = nullptr;
  streamOffset = streamStride = 0;
  scissor = {0, 0, LONG(width), LONG(height)};
  dirty = kDirtyAll;
}

HRESULT DeviceState::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= kRenderStates) return D3DERR_INVALIDCALL;
  if (render[state] == value) return D3D_OK;
  render[state] = value;
  const std::uint32_t bits = RenderStateDirty(state);
  const std::string bad = UnsupportedValue(state, value);
  if (!bad.empty()) {
    kit::LogOnce("d3d9", "SetRenderState", bad + " is not supported");
  } else if (bits == 0 && !IsHarmlessState(state) && state != D3DRS_FILLMODE && state != D3DRS_SHADEMODE &&
             state != D3DRS_FOGENABLE) {
    kit::LogOnce("d3d9", "SetRenderState", "state " + std::to_string(state) + " is not supported");
  }
  dirty |= bits;
  return D3D_OK;
}

HRESULT DeviceState::SetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (s >= kStages || type >= kStageStates) return D3DERR_INVALIDCALL;
  if (stage[s][type] == value) return D3D_OK;
  stage[s][type] = value;
  if (s > 0) {
    if ((type == D3DTSS_COLOROP || type == D3DTSS_ALPHAOP) && value != D3DTOP_DISABLE)
      kit::LogOnce("d3d9", "SetTextureStageState", "stages after 0 are not supported");
    return D3D_OK;
  }
  switch (type) {
    case D3DTSS_COLOROP:
    case D3DTSS_ALPHAOP:
      if (value < D3DTOP_DISABLE || value > D3DTOP_ADD)
        kit::LogOnce("d3d9", "SetTextureStageState", "texture op " + std::to_string(value) + " is not supported");
      dirty |= kDirtyFragment;
      break;
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2:
      if ((value & D3DTA_SELECTMASK) > D3DTA_TFACTOR)
        kit::LogOnce("d3d9", "SetTextureStageState", "texture argument " + std::to_string(value) + " is not supported");
      dirty |= kDirtyFragment;
      break;
    case D3DTSS_TEXTURETRANSFORMFLAGS:
      if (value != D3DTTFF_DISABLE && value != D3DTTFF_COUNT2)
        kit::LogOnce("d3d9", "SetTextureStageState",
                     "texture transform flags " + std::to_string(value) + " are not supported");
      dirty |= kDirtyTexTransform;
      break;
    case D3DTSS_TEXCOORDINDEX:
      if (value != 0)
        kit::LogOnce("d3d9", "SetTextureStageState", "texture coordinate index other than 0 is not supported");
      break;
    default:
      kit::LogOnce("d3d9", "SetTextureStageState", "state " + std::to_string(type) + " is not supported");
  }
  return D3D_OK;
}

HRESULT DeviceState::SetSamplerState(DWORD s, D3DSAMPLERSTATETYPE type, DWORD value) {
  if (s >= kSamplers || type >= kSamplerStates) return D3DERR_INVALIDCALL;
  if (sampler[s][type] == value) return D3D_OK;
  sampler[s][type] = value;
  if (s > 0) return D3D_OK;  // only stage 0 draws
  switch (type) {
    case D3DSAMP_ADDRESSU:
    case D3DSAMP_ADDRESSV:
    case D3DSAMP_ADDRESSW:
      if (value < D3DTADDRESS_WRAP || value > D3DTADDRESS_BORDER)
        kit::LogOnce("d3d9", "SetSamplerState", "address mode " + std::to_string(value) + " is not supported");
      break;
    case D3DSAMP_MAGFILTER:
    case D3DSAMP_MINFILTER:
    case D3DSAMP_MIPFILTER:
      if (value > D3DTEXF_LINEAR)
        kit::LogOnce("d3d9", "SetSamplerState", "filter " + std::to_string(value) + " is not supported");
      break;
    case D3DSAMP_BORDERCOLOR:
      break;
    default:
      kit::LogOnce("d3d9", "SetSamplerState", "state " + std::to_string(type) + " is not supported");
  }
  dirty |= kDirtySampler;
  return D3D_OK;
}

HRESULT DeviceState::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  if (!matrix) return D3DERR_INVALIDCALL;
  D3DMATRIX* target = nullptr;
  std::uint32_t bit = kDirtyTransform;
  if (state == D3DTS_WORLD) {
    target = &world;
  } else if (state == D3DTS_VIEW) {
    target = &view;
  } else if (state == D3DTS_PROJECTION) {
    target = &projection;
  } else if (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + kStages) {
    target = &textureMatrix[state - D3DTS_TEXTURE0];
    bit = state == D3DTS_TEXTURE0 ? std::uint32_t{kDirtyTexTransform} : 0u;
  } else {
    kit::LogOnce("d3d9", "SetTransform", "transform " + std::to_string(state) + " is not supported");
    return D3DERR_INVALIDCALL;
  }
  if (SameBytes(target, matrix, sizeof(D3DMATRIX))) return D3D_OK;
  *target = *matrix;
  dirty |= bit;
  return D3D_OK;
}

HRESULT DeviceState::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const {
  if (!matrix) return D3DERR_INVALIDCALL;
  if (state == D3DTS_WORLD) {
    *matrix = world;
  } else if (state == D3DTS_VIEW) {
    *matrix = view;
  } else if (state == D3DTS_PROJECTION) {
    *matrix = projection;
  } else if (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + kStages) {
    *matrix = textureMatrix[state - D3DTS_TEXTURE0];
  } else {
    return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

HRESULT DeviceState::SetMaterial(const D3DMATERIAL9* value) {
  if (!value) return D3DERR_INVALIDCALL;
  if (SameBytes(&material, value, sizeof(material))) return D3D_OK;
  material = *value;
  dirty |= kDirtyLighting;
  return D3D_OK;
}

HRESULT DeviceState::SetLight(DWORD index, const D3DLIGHT9* value) {
  if (!value || value->Type < D3DLIGHT_POINT || value->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
  LightSlot& slot = lights[index];
  if (SameBytes(&slot.light, value, sizeof(D3DLIGHT9))) return D3D_OK;
  slot.light = *value;
  if (slot.enabled) dirty |= kDirtyLighting;
  return D3D_OK;
}

HRESULT DeviceState::LightEnable(DWORD index, BOOL enable) {
  auto it = lights.find(index);
  if (it == lights.end()) {
    if (!enable) return D3D_OK;
    // Direct3D enables a light that was never set with its default: a white directional light.
    LightSlot slot;
    slot.light.Type = D3DLIGHT_DIRECTIONAL;
    slot.light.Diffuse = {1, 1, 1, 0};
    slot.light.Direction = {0, 0, 1};
    it = lights.emplace(index, slot).first;
  }
  if (it->second.enabled == (enable != FALSE)) return D3D_OK;
  it->second.enabled = enable != FALSE;
  dirty |= kDirtyLighting;
  return D3D_OK;
}

HRESULT DeviceState::SetTexture(DWORD s, IDirect3DBaseTexture9* texture) {
  if (s >= kStages) return D3DERR_INVALIDCALL;
  if (textures[s] == texture) return D3D_OK;
  textures[s] = texture;
  if (s == 0) {
    dirty |= kDirtyTexture;
  } else if (texture) {
    kit::LogOnce("d3d9", "SetTexture", "textures on stages after 0 are not supported");
  }
  return D3D_OK;
}

HRESULT DeviceState::SetFVF(DWORD value) {
  fvf = value;  // the vertex layout is set up at every draw, so no dirty bit
  return D3D_OK;
}

HRESULT DeviceState::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
  if (streamNumber != 0) {
    kit::LogOnce("d3d9", "SetStreamSource", "streams other than 0 are not supported");
    return D3DERR_INVALIDCALL;
  }
  stream = buffer;
  streamOffset = offset;
  streamStride = stride;
  return D3D_OK;
}

HRESULT DeviceState::SetScissorRect(const RECT* rect) {
  if (!rect) return D3DERR_INVALIDCALL;
  if (SameBytes(&scissor, rect, sizeof(RECT))) return D3D_OK;
  scissor = *rect;
  if (render[D3DRS_SCISSORTESTENABLE]) dirty |= kDirtyScissor;
  return D3D_OK;
}

void DeviceState::Unbind(const IUnknown* resource) {
  for (DWORD s = 0; s < kStages; ++s) {
    if (textures[s] && static_cast<const IUnknown*>(textures[s]) == resource) {
      textures[s] = nullptr;
      if (s == 0) dirty |= kDirtyTexture;
    }
  }
  if (stream && static_cast<const IUnknown*>(stream) == resource) stream = nullptr;
}

}  // namespace d3d9
