// IDirect3DDevice9 on one SDL window's GL 3.3 core context. The context is made current on
// the device thread at every call that touches GL. See d3d9.h for the contract.
#pragma once

#include <SDL.h>
#include <epoxy/gl.h>

#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/d3d9/DeviceState.h"
#include "platform/d3d9/FixedFunctionShader.h"
#include "platform/d3d9/RenderTarget.h"
#include "platform/d3d9/VertexFormat.h"
#include "platform/kit/RefCounted.h"

namespace d3d9 {

class DeviceChild;
class Texture;

class Device final : public kit::RefCounted<IDirect3DDevice9> {
 public:
  // D3DERR_INVALIDCALL for bad parameters or a window without SDL window, D3DERR_NOTAVAILABLE
  // when no GL 3.3 core context or back buffer can be made, or the display mode cannot be set.
  static HRESULT Create(IDirect3D9* d3d, UINT adapter, HWND window, D3DPRESENT_PARAMETERS* params,
                        IDirect3DDevice9** out);

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  // Settles the children released on other threads before dropping the reference.
  ULONG Release() override;

  HRESULT TestCooperativeLevel() override;
  HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override;
  HRESULT GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override;
  HRESULT SetCursorProperties(UINT XHotSpot, UINT YHotSpot, IDirect3DSurface9* pCursorBitmap) override;
  void SetCursorPosition(int X, int Y, DWORD Flags) override;
  BOOL ShowCursor(BOOL bShow) override;
  HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
  HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                  const RGNDATA* pDirtyRegion) override;
  HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                        IDirect3DSurface9** ppBackBuffer) override;
  HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                        IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override;
  HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool, IDirect3DVertexBuffer9** ppVertexBuffer,
                             HANDLE* pSharedHandle) override;
  HRESULT CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
  HRESULT SetMaterial(const D3DMATERIAL9* pMaterial) override;
  HRESULT SetLight(DWORD Index, const D3DLIGHT9* pLight) override;
  HRESULT LightEnable(DWORD Index, BOOL Enable) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
  HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
  HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
  HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void* pVertexStreamZeroData,
                          UINT VertexStreamZeroStride) override;
  HRESULT SetFVF(DWORD FVF) override;
  HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                          UINT Stride) override;
  HRESULT SetScissorRect(const RECT* pRect) override;
  HRESULT GetScissorRect(RECT* pRect) override;

  // For the objects the device creates.
  bool OnDeviceThread() const { return std::this_thread::get_id() == thread_; }
  void MakeCurrent();
  void DestroyChild(DeviceChild* child);
  UINT maxTextureSize() const { return maxTextureSize_; }

  // Test hooks (d3d9_testing.h).
  void SimulateLost();
  void IgnoreScissor(bool ignore);
  void ForceOffscreen(bool force);
  bool DrawsToWindow() const { return target_ && target_->drawsToWindow(); }
  // The GL storage of a large one-level texture that is destroyed, kept for the next texture of
  // the same size and format (stepping through a camera's photos makes the same texture again,
  // and the driver clears new storage on this thread); a storage not taken by the second
  // Present after it was kept is deleted. Device thread.
  void KeepTextureStorage(GLuint name, UINT width, UINT height, D3DFORMAT format);
  // The kept storage when it is of this size and format (then no longer kept), or 0.
  GLuint TakeTextureStorage(UINT width, UINT height, D3DFORMAT format);
  ULONGLONG PresentCount() const { return presents_; }
  std::vector<DWORD> ReadBackBuffer(UINT* width, UINT* height);
  int ReadStencil(int x, int y);

 private:
  Device(IDirect3D9* d3d, UINT adapter, HWND window, SDL_Window* sdlWindow);
  ~Device() override;

  HRESULT Initialise(D3DPRESENT_PARAMETERS* params);
  HRESULT ApplyPresentParameters(D3DPRESENT_PARAMETERS* params);
  void DestroyNow(DeviceChild* child);
  void ReapChildren();
  // sampled: the texels of the bound texture the draw can reach, or null for anywhere.
  void PrepareDraw(const VertexLayout& layout, const RECT* sampled = nullptr);
  // The texels of the bound texture that the given vertices' coordinates can reach; false when
  // that cannot be bounded (no coordinates, a coordinate transform, point sprites).
  bool SampledTexels(D3DPRIMITIVETYPE type, const VertexLayout& layout, const void* data, UINT stride, UINT vertices,
                     RECT* out) const;
  void ApplyRaster();
  void ApplyBlend();
  void ApplySampler();
  void ApplyScissor();
  bool ScissorTestOn() const { return state_.render[D3DRS_SCISSORTESTENABLE] && !ignoreScissor_; }
  RECT WholeTarget() const;
  // The pixels draws and clears can reach: the scissor rectangle while the test is on, else the
  // whole target.
  RECT DrawLimit() const;
  void SetVertexAttributes(const VertexLayout& layout, UINT stride, std::uintptr_t base);
  HRESULT CheckDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, VertexLayout* layout, UINT* vertices);

  IDirect3D9* d3d_;
  UINT adapter_;
  HWND window_;
  SDL_Window* sdlWindow_;
  std::thread::id thread_;
  SDL_GLContext context_ = nullptr;
  D3DPRESENT_PARAMETERS params_{};
  DeviceState state_;
  std::unique_ptr<FixedFunctionShader> shader_;
  std::unique_ptr<RenderTarget> target_;
  GLuint vertexArray_ = 0, streamBuffer_ = 0, sampler_ = 0;
  UINT maxTextureSize_ = 0;
  bool inScene_ = false;
  bool lost_ = false;
  bool ignoreScissor_ = false;   // test hook: draw and clear as if the scissor test were off
  bool forceOffscreen_ = false;  // test hook: never draw straight into the window
  ULONGLONG presents_ = 0;       // frames shown by Present (test hook)
  bool windowHasDepthStencil_ = false;
  struct KeptStorage {
    GLuint name = 0;
    UINT width = 0, height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    int presents = 0;  // Presents since it was kept
  };
  KeptStorage kept_;
  void DeleteKeptStorage();
  int lostReportsLeft_ = 0;  // TestCooperativeLevel answers DEVICELOST this often, then DEVICENOTRESET
  BOOL cursorShown_ = FALSE;
  int repaintHandler_ = 0;  // the window layer's id of the handler that presents again

  friend class Texture;
  std::set<Texture*> textures_;  // every live texture, for the re-upload after Reset

  std::mutex childrenMutex_;
  std::vector<DeviceChild*> releasedChildren_;  // released on another thread, destroyed on ours
};

}  // namespace d3d9
