#include "platform/d3d9/Device.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>

#include "platform/d3d9/Adapter.h"
#include "platform/d3d9/Formats.h"
#include "platform/d3d9/SampledRegion.h"
#include "platform/d3d9/Surface.h"
#include "platform/d3d9/Texture.h"
#include "platform/d3d9/VertexBuffer.h"
#include "platform/kit/Guarded.h"
#include "platform/kit/LogOnce.h"
#include "platform/win32/SdlWindow.h"
#include "platform/win32/WorkingSet.h"
#include "platform/win32/win32.h"

namespace d3d9 {

namespace {

GLenum GlCompare(DWORD func) {
  switch (func) {
    case D3DCMP_NEVER:
      return GL_NEVER;
    case D3DCMP_LESS:
      return GL_LESS;
    case D3DCMP_EQUAL:
      return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
      return GL_LEQUAL;
    case D3DCMP_GREATER:
      return GL_GREATER;
    case D3DCMP_NOTEQUAL:
      return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
      return GL_GEQUAL;
    default:
      return GL_ALWAYS;
  }
}

GLenum GlBlendFactor(DWORD blend) {
  switch (blend) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
      return GL_SRC_ALPHA_SATURATE;
    default:
      return GL_ONE;
  }
}

GLenum GlBlendOp(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
      return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
      return GL_MIN;
    case D3DBLENDOP_MAX:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}

GLenum GlAddress(DWORD mode) {
  switch (mode) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    default:
      return GL_REPEAT;
  }
}

GLenum GlPrimitive(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST:
      return GL_POINTS;
    case D3DPT_LINELIST:
      return GL_LINES;
    case D3DPT_LINESTRIP:
      return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
      return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
      return GL_TRIANGLE_FAN;
    default:
      return GL_TRIANGLES;
  }
}

}  // namespace

HRESULT Device::Create(IDirect3D9* d3d, UINT adapter, HWND window, D3DPRESENT_PARAMETERS* params,
                       IDirect3DDevice9** out) {
  SDL_Window* sdlWindow = Win32SdlWindow(window);
  if (!sdlWindow) return D3DERR_INVALIDCALL;
  if (!(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_OPENGL)) return D3DERR_NOTAVAILABLE;
  Device* device = new (std::nothrow) Device(d3d, adapter, window, sdlWindow);
  if (!device) return E_OUTOFMEMORY;
  // The half-made device is released on any failure, an allocation's included.
  const HRESULT hr = kit::Guarded([&]() -> HRESULT {
    const HRESULT initialised = device->Initialise(params);
    if (FAILED(initialised)) return initialised;
    // While a modal dialog holds the window's thread, the window shows the last presented frame.
    device->repaintHandler_ =
        Win32AddRepaintHandler(window, [device] { device->Present(nullptr, nullptr, nullptr, nullptr); });
    return D3D_OK;
  });
  if (FAILED(hr)) {
    device->Release();
    return hr;
  }
  *out = device;
  return D3D_OK;
}

Device::Device(IDirect3D9* d3d, UINT adapter, HWND window, SDL_Window* sdlWindow)
    : d3d_(d3d), adapter_(adapter), window_(window), sdlWindow_(sdlWindow), thread_(std::this_thread::get_id()) {
  d3d_->AddRef();
}

Device::~Device() {
  if (repaintHandler_) Win32RemoveRepaintHandler(repaintHandler_);
  if (context_) {
    MakeCurrent();  // children hold references, so none can be waiting here
    DeleteKeptStorage();
    shader_.reset();
    target_.reset();
    if (vertexArray_) glDeleteVertexArrays(1, &vertexArray_);
    if (streamBuffer_) glDeleteBuffers(1, &streamBuffer_);
    if (sampler_) glDeleteSamplers(1, &sampler_);
    SDL_GL_MakeCurrent(sdlWindow_, nullptr);
    SDL_GL_DeleteContext(context_);
  }
  if (!params_.Windowed && params_.BackBufferWidth != 0) SDL_SetWindowFullscreen(sdlWindow_, 0);
  d3d_->Release();
}

HRESULT Device::Initialise(D3DPRESENT_PARAMETERS* params) {
  context_ = SDL_GL_CreateContext(sdlWindow_);
  if (!context_) {
    kit::LogOnce("d3d9", "CreateDevice", std::string("no GL context: ") + SDL_GetError());
    return D3DERR_NOTAVAILABLE;
  }
  if (SDL_GL_MakeCurrent(sdlWindow_, context_) != 0 || epoxy_gl_version() < 33) {
    kit::LogOnce("d3d9", "CreateDevice", "OpenGL 3.3 is not available");
    return D3DERR_NOTAVAILABLE;
  }
  SDL_GL_SetSwapInterval(0);  // the program paces itself; failing here is fine
  int depth = 0, stencil = 0;
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth);
  SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencil);
  windowHasDepthStencil_ = depth >= 24 && stencil >= 8;
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  maxTextureSize_ = std::min<UINT>(kMaxTextureSize, static_cast<UINT>(maxSize));
  shader_ = std::make_unique<FixedFunctionShader>();
  std::string error;
  if (!shader_->Create(&error)) {
    kit::LogOnce("d3d9", "CreateDevice", "shader: " + error);
    return D3DERR_NOTAVAILABLE;
  }
  glGenVertexArrays(1, &vertexArray_);
  glBindVertexArray(vertexArray_);
  glGenBuffers(1, &streamBuffer_);
  glGenSamplers(1, &sampler_);
  glBindSampler(0, sampler_);
  glActiveTexture(GL_TEXTURE0);
  glFrontFace(GL_CCW);
  shader_->Use();
  return ApplyPresentParameters(params);
}

// Validates the parameters, sets the display mode and (re)creates the back buffer and the
// default state. Fills in the sizes and format that 0 and UNKNOWN stand for.
HRESULT Device::ApplyPresentParameters(D3DPRESENT_PARAMETERS* params) {
  if (!params) return D3DERR_INVALIDCALL;
  D3DPRESENT_PARAMETERS p = *params;
  if (p.BackBufferFormat == D3DFMT_UNKNOWN && p.Windowed) p.BackBufferFormat = D3DFMT_X8R8G8B8;
  if (!IsBackBufferFormat(p.BackBufferFormat) || p.BackBufferCount > 3 || p.MultiSampleType != D3DMULTISAMPLE_NONE ||
      (p.EnableAutoDepthStencil && !IsDepthFormat(p.AutoDepthStencilFormat)))
    return D3DERR_INVALIDCALL;
  if (!p.Windowed && (p.BackBufferWidth == 0 || p.BackBufferHeight == 0)) return D3DERR_INVALIDCALL;
  if (p.Windowed) {
    if (SDL_GetWindowFlags(sdlWindow_) & SDL_WINDOW_FULLSCREEN) SDL_SetWindowFullscreen(sdlWindow_, 0);
    // The client size in the program's pixels, which on a scaled screen are fewer than the
    // window's (DisplayScale.h); Present enlarges the back buffer to the window.
    RECT client{};
    GetClientRect(window_, &client);
    if (p.BackBufferWidth == 0) p.BackBufferWidth = std::max<UINT>(1, UINT(std::max<LONG>(0, client.right)));
    if (p.BackBufferHeight == 0) p.BackBufferHeight = std::max<UINT>(1, UINT(std::max<LONG>(0, client.bottom)));
  } else {
    // The display mode nearest the back-buffer size (SDL picks the smallest one at least as
    // large); Present stretches the back buffer over it.
    SDL_DisplayMode want{0, int(p.BackBufferWidth), int(p.BackBufferHeight), int(p.FullScreen_RefreshRateInHz),
                         nullptr};
    SDL_DisplayMode mode;
    if (!SDL_GetClosestDisplayMode(int(adapter_), &want, &mode) || SDL_SetWindowDisplayMode(sdlWindow_, &mode) != 0 ||
        SDL_SetWindowFullscreen(sdlWindow_, SDL_WINDOW_FULLSCREEN) != 0)
      return D3DERR_NOTAVAILABLE;
  }
  if (p.BackBufferWidth > maxTextureSize_ || p.BackBufferHeight > maxTextureSize_) return D3DERR_INVALIDCALL;
  if (p.BackBufferCount == 0) p.BackBufferCount = 1;
  MakeCurrent();
  auto target = std::make_unique<RenderTarget>();
  if (!target->Create(p.BackBufferWidth, p.BackBufferHeight)) return D3DERR_OUTOFVIDEOMEMORY;
  target_ = std::move(target);
  params_ = p;
  *params = p;
  state_.SetDefaults(p.EnableAutoDepthStencil != FALSE, p.BackBufferWidth, p.BackBufferHeight);
  return D3D_OK;
}

HRESULT Device::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown) {
    AddRef();
    *ppv = static_cast<IUnknown*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG Device::Release() {
  // Children released on other threads still hold their device reference; settle them first
  // so that the count returned is the true number of live holders.
  if (OnDeviceThread()) ReapChildren();
  return RefCounted::Release();
}

void Device::MakeCurrent() {
  if (SDL_GL_GetCurrentContext() != context_) SDL_GL_MakeCurrent(sdlWindow_, context_);
}

void Device::DestroyChild(DeviceChild* child) {
  if (OnDeviceThread()) {
    DestroyNow(child);
    return;
  }
  std::lock_guard lock(childrenMutex_);
  releasedChildren_.push_back(child);
}

void Device::DestroyNow(DeviceChild* child) {
  MakeCurrent();
  state_.Unbind(child->Identity());
  child->ReleaseGl();
  delete child;
  Release();  // the reference the child held
}

void Device::KeepTextureStorage(GLuint name, UINT width, UINT height, D3DFORMAT format) {
  DeleteKeptStorage();
  kept_ = KeptStorage{name, width, height, format, 0};
}

GLuint Device::TakeTextureStorage(UINT width, UINT height, D3DFORMAT format) {
  if (!kept_.name || kept_.width != width || kept_.height != height || kept_.format != format) return 0;
  return std::exchange(kept_, KeptStorage{}).name;
}

void Device::DeleteKeptStorage() {
  if (kept_.name) glDeleteTextures(1, &kept_.name);
  kept_ = KeptStorage{};
}

void Device::ReapChildren() {
  std::vector<DeviceChild*> children;
  {
    std::lock_guard lock(childrenMutex_);
    children.swap(releasedChildren_);
  }
  for (DeviceChild* child : children) DestroyNow(child);
}

HRESULT Device::TestCooperativeLevel() {
  if (!lost_) return D3D_OK;
  if (lostReportsLeft_ > 0) {
    --lostReportsLeft_;
    return D3DERR_DEVICELOST;
  }
  return D3DERR_DEVICENOTRESET;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
  if (!caps) return D3DERR_INVALIDCALL;
  FillCaps(adapter_, caps);
  caps->MaxTextureWidth = caps->MaxTextureHeight = maxTextureSize_;
  return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
  if (swapChain != 0 || !mode) return D3DERR_INVALIDCALL;
  if (params_.Windowed) return AdapterDesktopMode(int(adapter_), mode);
  SDL_DisplayMode sdl;
  if (SDL_GetWindowDisplayMode(sdlWindow_, &sdl) != 0) return D3DERR_INVALIDCALL;
  *mode = {UINT(sdl.w), UINT(sdl.h), UINT(sdl.refresh_rate), DisplayFormatFromSdl(sdl.format)};
  return D3D_OK;
}

HRESULT Device::SetCursorProperties(UINT, UINT, IDirect3DSurface9* bitmap) {
  // The system cursor stays in use; the image is only checked.
  D3DSURFACE_DESC desc;
  if (!bitmap || FAILED(bitmap->GetDesc(&desc)) || desc.Format != D3DFMT_A8R8G8B8) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

void Device::SetCursorPosition(int, int, DWORD) {}

BOOL Device::ShowCursor(BOOL show) {
  const BOOL previous = cursorShown_;
  cursorShown_ = show;
  return previous;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* params) {
  return kit::Guarded([&]() -> HRESULT {
    if (!params) return D3DERR_INVALIDCALL;
    MakeCurrent();
    ReapChildren();
    inScene_ = false;
    const HRESULT hr = ApplyPresentParameters(params);
    if (FAILED(hr)) return hr;
    // Managed content lives in system memory: drop every GL copy and upload again at next use.
    for (Texture* texture : textures_) texture->DropGlCopy();
    DeleteKeptStorage();
    lost_ = false;
    lostReportsLeft_ = 0;
    return D3D_OK;
  });
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND overrideWindow, const RGNDATA* dirty) {
  if (sourceRect || destRect || overrideWindow || dirty)
    kit::LogOnce("d3d9", "Present", "rectangles, regions and other windows are ignored");
  if (inScene_) return D3DERR_INVALIDCALL;
  if (lost_) return D3DERR_DEVICELOST;
  MakeCurrent();
  ReapChildren();
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(sdlWindow_, &w, &h);
  if (!target_->drawsToWindow()) target_->BlitToWindow(w, h);
  SDL_GL_SwapWindow(sdlWindow_);
  ++presents_;
  // Compiling the shaders of a frame's new draws runs through much of the driver's compiler,
  // whose code pages stay mapped (platform/win32/WorkingSet.h): they go back once it is shown.
  Win32DropCodePagesIfGrown();
  if (kept_.name && ++kept_.presents >= 2) DeleteKeptStorage();
  // While the window's buffer is just like the back buffer (same size, no alpha to keep, a
  // depth-stencil as deep), the next frame is drawn straight into it and needs no copy. When the
  // window is resized the frame already drawn shows unstretched once; the next one is stretched.
  target_->DrawToWindow(windowHasDepthStencil_ && !forceOffscreen_ && params_.BackBufferFormat == D3DFMT_X8R8G8B8 &&
                            w == int(target_->width()) && h == int(target_->height()),
                        w, h);
  target_->Bind();
  if (target_->drawsToWindow()) {
    // Mesa's software GLX asks the X server for the window's size (a round trip) at the first
    // GL operation after each swap. A clear that covers no pixel makes it ask now, while the
    // server is still awake from the swap, instead of at the next frame's first draw, where a
    // slow answer (1 to 3 ms now and then under Xvfb) delayed the frame.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 0, 0);
    glClear(GL_STENCIL_BUFFER_BIT);
  }
  state_.dirty |= kDirtyScissor;  // the copy to the window and the empty clear changed the scissor
  return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** out) {
  if (!out || swapChain != 0 || index >= params_.BackBufferCount || type != D3DBACKBUFFER_TYPE_MONO)
    return D3DERR_INVALIDCALL;
  const D3DSURFACE_DESC desc{params_.BackBufferFormat, D3DRTYPE_SURFACE,    D3DUSAGE_RENDERTARGET,
                             D3DPOOL_DEFAULT,          D3DMULTISAMPLE_NONE, 0,
                             target_->width(),         target_->height()};
  *out = Surface::ForBackBuffer(this, desc);
  return *out ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** out, HANDLE* shared) {
  return kit::Guarded([&]() -> HRESULT {
    const TextureFormat* f = FindTextureFormat(format);
    if (!out || shared || !f || (pool != D3DPOOL_MANAGED && pool != D3DPOOL_DEFAULT)) return D3DERR_INVALIDCALL;
    if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) {
      kit::LogOnce("d3d9", "CreateTexture", "render-target and depth textures are not supported");
      return D3DERR_INVALIDCALL;
    }
    *out = nullptr;
    return Texture::Create(this, width, height, levels, usage, *f, pool, out);
  });
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** out,
                                   HANDLE* shared) {
  return kit::Guarded([&]() -> HRESULT {
    if (shared) return D3DERR_INVALIDCALL;
    return VertexBuffer::Create(this, length, usage, fvf, pool, out);
  });
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** out, HANDLE* shared) {
  return kit::Guarded([&]() -> HRESULT {
    if (shared) return D3DERR_INVALIDCALL;
    return Surface::CreatePlain(this, width, height, format, pool, out);
  });
}

HRESULT Device::BeginScene() {
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  return D3D_OK;
}

RECT Device::WholeTarget() const {
  return RECT{0, 0, LONG(target_->width()), LONG(target_->height())};
}

RECT Device::DrawLimit() const {
  return ScissorTestOn() ? state_.scissor : WholeTarget();
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  if ((count > 0 && !rects) || (flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0)
    return D3DERR_INVALIDCALL;
  if (lost_) return D3D_OK;
  MakeCurrent();
  target_->Bind();
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    const auto c = ColorToFloat(color);
    glClearColor(c[0], c[1], c[2], c[3]);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    glClearDepth(std::clamp(z, 0.0f, 1.0f));
    glDepthMask(GL_TRUE);
    mask |= GL_DEPTH_BUFFER_BIT;
    state_.dirty |= kDirtyRaster;  // the depth write mask was forced on
  }
  GLint sameStencil = 0;
  if (flags & D3DCLEAR_STENCIL) {
    glClearStencil(GLint(stencil & 0xFF));
    mask |= GL_STENCIL_BUFFER_BIT;
  } else if ((flags & D3DCLEAR_ZBUFFER) && target_->UniformStencil(&sameStencil)) {
    glClearStencil(sameStencil);
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  bool clearedWhole = false;
  // Each rectangle is cut to the scissor rectangle while the test is on. A clear of the whole
  // target runs without the GL scissor test, which lets the driver take its fast path.
  const RECT whole = WholeTarget();
  const RECT limit = DrawLimit();
  const DWORD n = count == 0 ? 1 : count;
  for (DWORD i = 0; i < n; ++i) {
    const RECT r = count == 0 ? whole : RECT{rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2};
    const RECT cut = {std::max(r.left, limit.left), std::max(r.top, limit.top), std::min(r.right, limit.right),
                      std::min(r.bottom, limit.bottom)};
    const std::array<GLint, 4> box = target_->GlBox(cut);
    if (box[2] == 0) continue;
    if (box[2] == GLint(target_->width()) && box[3] == GLint(target_->height())) {
      clearedWhole = true;
      glDisable(GL_SCISSOR_TEST);
    } else {
      glEnable(GL_SCISSOR_TEST);
      glScissor(box[0], box[1], box[2], box[3]);
    }
    glClear(mask);
  }
  if (flags & D3DCLEAR_STENCIL) target_->NoteStencilClear(clearedWhole, GLint(stencil & 0xFF));
  state_.dirty |= kDirtyScissor;  // the GL scissor now holds whatever the clear needed
  return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE s, const D3DMATRIX* m) {
  return state_.SetTransform(s, m);
}
HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX* m) {
  return state_.GetTransform(s, m);
}
HRESULT Device::SetMaterial(const D3DMATERIAL9* m) {
  return state_.SetMaterial(m);
}
HRESULT Device::SetLight(DWORD i, const D3DLIGHT9* l) {
  return state_.SetLight(i, l);
}
HRESULT Device::LightEnable(DWORD i, BOOL e) {
  return state_.LightEnable(i, e);
}
HRESULT Device::SetRenderState(D3DRENDERSTATETYPE s, DWORD v) {
  return state_.SetRenderState(s, v);
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE s, DWORD* value) {
  if (!value || s >= DeviceState::kRenderStates) return D3DERR_INVALIDCALL;
  *value = state_.render[s];
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
  return state_.SetTexture(stage, texture);
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  return state_.SetTextureStageState(stage, type, value);
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  return state_.SetSamplerState(sampler, type, value);
}

HRESULT Device::SetFVF(DWORD fvf) {
  return state_.SetFVF(fvf);
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
  return state_.SetStreamSource(stream, buffer, offset, stride);
}

HRESULT Device::SetScissorRect(const RECT* rect) {
  return state_.SetScissorRect(rect);
}

HRESULT Device::GetScissorRect(RECT* rect) {
  if (!rect) return D3DERR_INVALIDCALL;
  *rect = state_.scissor;
  return D3D_OK;
}

void Device::ApplyRaster() {
  const auto& rs = state_.render;
  if (rs[D3DRS_CULLMODE] == D3DCULL_NONE) {
    glDisable(GL_CULL_FACE);
  } else {
    // Both APIs judge the winding as the triangle appears in the picture, and the back
    // buffer is drawn upright, so Direct3D's culled counter-clockwise faces are GL's
    // counter-clockwise front faces.
    glEnable(GL_CULL_FACE);
    glCullFace(rs[D3DRS_CULLMODE] == D3DCULL_CW ? GL_BACK : GL_FRONT);
  }
  if (rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
    glEnable(GL_DEPTH_TEST);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  glDepthFunc(GlCompare(rs[D3DRS_ZFUNC]));
  glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
}

void Device::ApplyBlend() {
  const auto& rs = state_.render;
  if (rs[D3DRS_ALPHABLENDENABLE]) {
    glEnable(GL_BLEND);
  } else {
    glDisable(GL_BLEND);
  }
  glBlendFunc(GlBlendFactor(rs[D3DRS_SRCBLEND]), GlBlendFactor(rs[D3DRS_DESTBLEND]));
  glBlendEquation(GlBlendOp(rs[D3DRS_BLENDOP]));
}

void Device::ApplySampler() {
  const auto& s = state_.sampler[0];
  const bool linearMin = s[D3DSAMP_MINFILTER] == D3DTEXF_LINEAR;
  GLenum minFilter = linearMin ? GL_LINEAR : GL_NEAREST;
  if (s[D3DSAMP_MIPFILTER] == D3DTEXF_POINT)
    minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  if (s[D3DSAMP_MIPFILTER] == D3DTEXF_LINEAR)
    minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  glSamplerParameteri(sampler_, GL_TEXTURE_MIN_FILTER, GLint(minFilter));
  glSamplerParameteri(sampler_, GL_TEXTURE_MAG_FILTER, s[D3DSAMP_MAGFILTER] == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
  glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_S, GLint(GlAddress(s[D3DSAMP_ADDRESSU])));
  glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_T, GLint(GlAddress(s[D3DSAMP_ADDRESSV])));
  const auto border = ColorToFloat(s[D3DSAMP_BORDERCOLOR]);
  glSamplerParameterfv(sampler_, GL_TEXTURE_BORDER_COLOR, border.data());
}

void Device::ApplyScissor() {
  if (!ScissorTestOn()) {
    glDisable(GL_SCISSOR_TEST);
    return;
  }
  const auto box = target_->GlBox(state_.scissor);
  glEnable(GL_SCISSOR_TEST);
  glScissor(box[0], box[1], box[2], box[3]);
}

void Device::PrepareDraw(const VertexLayout& layout, const RECT* sampled) {
  ReapChildren();
  target_->Bind();
  const std::uint32_t dirty = state_.dirty;
  if (dirty & kDirtyRaster) ApplyRaster();
  if (dirty & kDirtyBlend) ApplyBlend();
  if (dirty & kDirtySampler) ApplySampler();
  if (dirty & kDirtyScissor) ApplyScissor();
  // Only textures this device made can be bound: the binding is one of our Texture objects.
  auto* texture = static_cast<Texture*>(static_cast<IDirect3DTexture9*>(state_.textures[0]));
  shader_->Apply(state_, dirty, texture != nullptr);
  state_.dirty = 0;
  if (texture) texture->BindForDraw(sampled);
  shader_->SetDrawInputs(state_, layout.pretransformed, layout.diffuseOffset >= 0, texture != nullptr, target_->width(),
                         target_->height());
}

void Device::SetVertexAttributes(const VertexLayout& layout, UINT stride, std::uintptr_t base) {
  auto offset = [base](int field) { return reinterpret_cast<const void*>(base + std::uintptr_t(field)); };
  glEnableVertexAttribArray(kAttribPosition);
  glVertexAttribPointer(kAttribPosition, layout.positionSize, GL_FLOAT, GL_FALSE, GLsizei(stride), offset(0));
  if (layout.diffuseOffset >= 0) {
    // GL reads a BGRA-sized attribute as Direct3D's ARGB colour in little-endian memory.
    glEnableVertexAttribArray(kAttribDiffuse);
    glVertexAttribPointer(kAttribDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, GLsizei(stride),
                          offset(layout.diffuseOffset));
  } else {
    glDisableVertexAttribArray(kAttribDiffuse);
    glVertexAttrib4f(kAttribDiffuse, 1, 1, 1, 1);  // Direct3D's default vertex colour is opaque white
  }
  if (layout.texCoordOffset >= 0) {
    glEnableVertexAttribArray(kAttribTexCoord);
    glVertexAttribPointer(kAttribTexCoord, 2, GL_FLOAT, GL_FALSE, GLsizei(stride), offset(layout.texCoordOffset));
  } else {
    glDisableVertexAttribArray(kAttribTexCoord);
    glVertexAttrib4f(kAttribTexCoord, 0, 0, 0, 1);
  }
}

bool Device::SampledTexels(D3DPRIMITIVETYPE type, const VertexLayout& layout, const void* data, UINT stride,
                           UINT vertices, RECT* out) const {
  const auto* texture = static_cast<const Texture*>(static_cast<IDirect3DTexture9*>(state_.textures[0]));
  if (!texture || layout.texCoordOffset < 0 || type == D3DPT_POINTLIST ||
      state_.stage[0][D3DTSS_TEXTURETRANSFORMFLAGS] != D3DTTFF_DISABLE)
    return false;
  const UvRange range = SampledUvRange(type, layout, data, stride, vertices, DrawLimit());
  if (range.empty) {
    *out = RECT{0, 0, 1, 1};  // nothing is drawn: any one texel will do
    return true;
  }
  auto clamps = [](DWORD mode) { return mode == D3DTADDRESS_CLAMP || mode == D3DTADDRESS_BORDER; };
  *out = texture->TexelsUnder(range.u0, range.u1, range.v0, range.v1, clamps(state_.sampler[0][D3DSAMP_ADDRESSU]),
                              clamps(state_.sampler[0][D3DSAMP_ADDRESSV]));
  return true;
}

HRESULT Device::CheckDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, VertexLayout* layout, UINT* vertices) {
  if (!inScene_) return D3DERR_INVALIDCALL;
  *vertices = VertexCount(type, primitiveCount);
  *layout = LayoutOfFvf(state_.fvf);
  if (*vertices == 0 || !layout->valid) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  VertexLayout layout;
  UINT vertices = 0;
  HRESULT hr = CheckDraw(type, primitiveCount, &layout, &vertices);
  if (FAILED(hr)) return hr;
  auto* buffer = static_cast<VertexBuffer*>(state_.stream);
  const UINT stride = state_.streamStride;
  // Every vertex read must lie inside the buffer.
  const std::uint64_t end = std::uint64_t(state_.streamOffset) + (std::uint64_t(startVertex) + vertices) * stride;
  if (!buffer || buffer->locked() || stride < layout.size || end > buffer->size()) return D3DERR_INVALIDCALL;
  if (lost_) return D3D_OK;
  MakeCurrent();
  PrepareDraw(layout);
  buffer->BindForDraw();
  SetVertexAttributes(layout, stride, state_.streamOffset + std::uintptr_t(startVertex) * stride);
  glDrawArrays(GlPrimitive(type), 0, GLsizei(vertices));
  return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* data, UINT stride) {
  VertexLayout layout;
  UINT vertices = 0;
  HRESULT hr = CheckDraw(type, primitiveCount, &layout, &vertices);
  if (FAILED(hr)) return hr;
  if (!data || stride < layout.size) return D3DERR_INVALIDCALL;
  state_.stream = nullptr;  // as in Direct3D, drawing from user memory unsets stream 0
  if (lost_) return D3D_OK;
  MakeCurrent();
  RECT sampled;
  PrepareDraw(layout, SampledTexels(type, layout, data, stride, vertices, &sampled) ? &sampled : nullptr);
  glBindBuffer(GL_ARRAY_BUFFER, streamBuffer_);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices) * stride, data, GL_STREAM_DRAW);
  SetVertexAttributes(layout, stride, 0);
  glDrawArrays(GlPrimitive(type), 0, GLsizei(vertices));
  return D3D_OK;
}

void Device::ForceOffscreen(bool force) {
  forceOffscreen_ = force;
  if (force) {
    MakeCurrent();
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(sdlWindow_, &w, &h);
    target_->DrawToWindow(false, w, h);
    target_->Bind();
  }
}

void Device::IgnoreScissor(bool ignore) {
  ignoreScissor_ = ignore;
  state_.dirty |= kDirtyScissor;
}

void Device::SimulateLost() {
  lost_ = true;
  lostReportsLeft_ = 1;
}

std::vector<DWORD> Device::ReadBackBuffer(UINT* width, UINT* height) {
  MakeCurrent();
  glFinish();
  *width = target_->width();
  *height = target_->height();
  auto pixels = target_->Read(params_.BackBufferFormat == D3DFMT_X8R8G8B8);
  target_->Bind();
  return pixels;
}

int Device::ReadStencil(int x, int y) {
  MakeCurrent();
  glFinish();
  const int value = target_->ReadStencil(x, y);
  target_->Bind();
  return value;
}

}  // namespace d3d9
