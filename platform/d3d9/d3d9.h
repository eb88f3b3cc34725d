// Direct3D 9 stand-in on OpenGL 3.3 core: the contract of the layer.
//
// Only what the program calls. Names, arguments and result codes are Direct3D 9's.
// Threads: every call runs on the thread that created the device (the window's thread),
// except IDirect3DTexture9::LockRect/UnlockRect on managed textures, which may run on any
// thread; the GL upload of a locked texture happens on the device's thread at its next use.
// Errors never cross this edge as exceptions: every failure is an HRESULT.
//
// How it works: each device owns a GL 3.3 core context on its window's SDL window. The back
// buffer is an offscreen framebuffer of the back-buffer size; Present stretches it onto the
// window and swaps. Fixed-function state is mirrored and turned into one shader's inputs before
// each draw. Supported: stage 0 only (ops DISABLE, SELECTARG1/2, MODULATE(2X/4X), ADD; args
// DIFFUSE, CURRENT, TEXTURE, TFACTOR), alpha test, blending, culling, depth, scissor test, point/linear
// filtering, wrap/mirror/clamp/border addressing, lighting from emissive and ambient terms only
// (vertices carry no normals), a COUNT2 texture transform. Anything else is accepted, ignored
// and reported once on stderr with the function's name.
//
// Resources (textures, surfaces, vertex buffers) each hold a reference on their device until
// they are destroyed, so IDirect3DDevice9::Release returns a count above 0 while any is alive.
// Bindings (SetTexture, SetStreamSource) hold no reference; a destroyed resource is unbound.
// A resource whose last reference is released on another thread is destroyed on the device
// thread at the device's next draw, Present, Reset or Release.
#pragma once

#include "platform/kit/wintypes.h"

#define D3D_SDK_VERSION 31
#define D3DADAPTER_DEFAULT 0
#define MAX_DEVICE_IDENTIFIER_STRING 512

#define MAKE_D3DHRESULT(code) MAKE_HRESULT(1, 0x876, code)
constexpr HRESULT D3D_OK = S_OK;
constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = MAKE_D3DHRESULT(2072);
constexpr HRESULT D3DERR_NOTFOUND = MAKE_D3DHRESULT(2150);
constexpr HRESULT D3DERR_MOREDATA = MAKE_D3DHRESULT(2151);
constexpr HRESULT D3DERR_DEVICELOST = MAKE_D3DHRESULT(2152);
constexpr HRESULT D3DERR_DEVICENOTRESET = MAKE_D3DHRESULT(2153);
constexpr HRESULT D3DERR_NOTAVAILABLE = MAKE_D3DHRESULT(2154);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = MAKE_D3DHRESULT(380);  // 0x8876017C
constexpr HRESULT D3DERR_INVALIDDEVICE = MAKE_D3DHRESULT(2155);
constexpr HRESULT D3DERR_INVALIDCALL = MAKE_D3DHRESULT(2156);
constexpr HRESULT D3DERR_DRIVERINTERNALERROR = MAKE_D3DHRESULT(2087);

using D3DCOLOR = DWORD;
#define D3DCOLOR_ARGB(a, r, g, b) \
  (static_cast<D3DCOLOR>((((a)&0xff) << 24) | (((r)&0xff) << 16) | (((g)&0xff) << 8) | ((b)&0xff)))
#define D3DCOLOR_XRGB(r, g, b) D3DCOLOR_ARGB(0xff, r, g, b)

#define MAKEFOURCC(a, b, c, d)                                                                              \
  (static_cast<DWORD>(BYTE(a)) | (static_cast<DWORD>(BYTE(b)) << 8) | (static_cast<DWORD>(BYTE(c)) << 16) | \
   (static_cast<DWORD>(BYTE(d)) << 24))

enum D3DFORMAT : DWORD {
  D3DFMT_UNKNOWN = 0,
  D3DFMT_R8G8B8 = 20,
  D3DFMT_A8R8G8B8 = 21,
  D3DFMT_X8R8G8B8 = 22,
  D3DFMT_R5G6B5 = 23,
  D3DFMT_X1R5G5B5 = 24,
  D3DFMT_A1R5G5B5 = 25,
  D3DFMT_A4R4G4B4 = 26,
  D3DFMT_R3G3B2 = 27,
  D3DFMT_A8 = 28,
  D3DFMT_A8R3G3B2 = 29,
  D3DFMT_X4R4G4B4 = 30,
  D3DFMT_A2B10G10R10 = 31,
  D3DFMT_A8B8G8R8 = 32,
  D3DFMT_X8B8G8R8 = 33,
  D3DFMT_G16R16 = 34,
  D3DFMT_A2R10G10B10 = 35,
  D3DFMT_A16B16G16R16 = 36,
  D3DFMT_A8P8 = 40,
  D3DFMT_P8 = 41,
  D3DFMT_L8 = 50,
  D3DFMT_A8L8 = 51,
  D3DFMT_A4L4 = 52,
  D3DFMT_V8U8 = 60,
  D3DFMT_L6V5U5 = 61,
  D3DFMT_X8L8V8U8 = 62,
  D3DFMT_Q8W8V8U8 = 63,
  D3DFMT_V16U16 = 64,
  D3DFMT_A2W10V10U10 = 67,
  D3DFMT_UYVY = MAKEFOURCC('U', 'Y', 'V', 'Y'),
  D3DFMT_YUY2 = MAKEFOURCC('Y', 'U', 'Y', '2'),
  D3DFMT_DXT1 = MAKEFOURCC('D', 'X', 'T', '1'),
  D3DFMT_DXT2 = MAKEFOURCC('D', 'X', 'T', '2'),
  D3DFMT_DXT3 = MAKEFOURCC('D', 'X', 'T', '3'),
  D3DFMT_DXT4 = MAKEFOURCC('D', 'X', 'T', '4'),
  D3DFMT_DXT5 = MAKEFOURCC('D', 'X', 'T', '5'),
  D3DFMT_MULTI2_ARGB8 = MAKEFOURCC('M', 'E', 'T', '1'),
  D3DFMT_D16_LOCKABLE = 70,
  D3DFMT_D32 = 71,
  D3DFMT_D15S1 = 73,
  D3DFMT_D24S8 = 75,
  D3DFMT_D24X8 = 77,
  D3DFMT_D24X4S4 = 79,
  D3DFMT_D16 = 80,
  D3DFMT_L16 = 81,
  D3DFMT_VERTEXDATA = 100,
  D3DFMT_INDEX16 = 101,
  D3DFMT_INDEX32 = 102,
  D3DFMT_Q16W16V16U16 = 110,
  D3DFMT_R16F = 111,
  D3DFMT_G16R16F = 112,
  D3DFMT_A16B16G16R16F = 113,
  D3DFMT_R32F = 114,
  D3DFMT_G32R32F = 115,
  D3DFMT_A32B32G32R32F = 116,
  D3DFMT_CxV8U8 = 117,
  D3DFMT_FORCE_DWORD = 0x7fffffff
};

enum D3DDEVTYPE : DWORD { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3, D3DDEVTYPE_NULLREF = 4 };

enum D3DMULTISAMPLE_TYPE : DWORD {
  D3DMULTISAMPLE_NONE = 0,
  D3DMULTISAMPLE_NONMASKABLE = 1,
  D3DMULTISAMPLE_2_SAMPLES = 2,
  D3DMULTISAMPLE_16_SAMPLES = 16
};

enum D3DSWAPEFFECT : DWORD { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3 };
enum D3DPOOL : DWORD { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2, D3DPOOL_SCRATCH = 3 };
enum D3DRESOURCETYPE : DWORD {
  D3DRTYPE_SURFACE = 1,
  D3DRTYPE_VOLUME = 2,
  D3DRTYPE_TEXTURE = 3,
  D3DRTYPE_VOLUMETEXTURE = 4,
  D3DRTYPE_CUBETEXTURE = 5,
  D3DRTYPE_VERTEXBUFFER = 6,
  D3DRTYPE_INDEXBUFFER = 7
};
enum D3DBACKBUFFER_TYPE : DWORD { D3DBACKBUFFER_TYPE_MONO = 0 };
enum D3DPRIMITIVETYPE : DWORD {
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6
};

#define D3DPRESENT_INTERVAL_DEFAULT 0x00000000u
#define D3DPRESENT_INTERVAL_ONE 0x00000001u
#define D3DPRESENT_INTERVAL_TWO 0x00000002u
#define D3DPRESENT_INTERVAL_THREE 0x00000004u
#define D3DPRESENT_INTERVAL_FOUR 0x00000008u
#define D3DPRESENT_INTERVAL_IMMEDIATE 0x80000000u
#define D3DPRESENTFLAG_LOCKABLE_BACKBUFFER 0x00000001u
#define D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL 0x00000002u

#define D3DCREATE_PUREDEVICE 0x00000010u
#define D3DCREATE_SOFTWARE_VERTEXPROCESSING 0x00000020u
#define D3DCREATE_HARDWARE_VERTEXPROCESSING 0x00000040u
#define D3DCREATE_MIXED_VERTEXPROCESSING 0x00000080u

#define D3DDEVCAPS_HWTRANSFORMANDLIGHT 0x00010000u
#define D3DDEVCAPS_PUREDEVICE 0x00100000u
#define D3DPMISCCAPS_NULLREFERENCE 0x00001000u

#define D3DUSAGE_RENDERTARGET 0x00000001u
#define D3DUSAGE_DEPTHSTENCIL 0x00000002u
#define D3DUSAGE_WRITEONLY 0x00000008u
#define D3DUSAGE_DYNAMIC 0x00000200u

#define D3DLOCK_READONLY 0x00000010u
#define D3DLOCK_DISCARD 0x00002000u
#define D3DLOCK_NOOVERWRITE 0x00001000u

#define D3DCLEAR_TARGET 0x00000001u
#define D3DCLEAR_ZBUFFER 0x00000002u
#define D3DCLEAR_STENCIL 0x00000004u

#define D3DFVF_XYZ 0x002u
#define D3DFVF_XYZRHW 0x004u
#define D3DFVF_NORMAL 0x010u
#define D3DFVF_DIFFUSE 0x040u
#define D3DFVF_SPECULAR 0x080u
#define D3DFVF_TEX1 0x100u

enum D3DRENDERSTATETYPE : DWORD {
  D3DRS_ZENABLE = 7,
  D3DRS_FILLMODE = 8,
  D3DRS_SHADEMODE = 9,
  D3DRS_ZWRITEENABLE = 14,
  D3DRS_ALPHATESTENABLE = 15,
  D3DRS_LASTPIXEL = 16,
  D3DRS_SRCBLEND = 19,
  D3DRS_DESTBLEND = 20,
  D3DRS_CULLMODE = 22,
  D3DRS_ZFUNC = 23,
  D3DRS_ALPHAREF = 24,
  D3DRS_ALPHAFUNC = 25,
  D3DRS_DITHERENABLE = 26,
  D3DRS_ALPHABLENDENABLE = 27,
  D3DRS_FOGENABLE = 28,
  D3DRS_SPECULARENABLE = 29,
  D3DRS_TEXTUREFACTOR = 60,
  D3DRS_LIGHTING = 137,
  D3DRS_AMBIENT = 139,
  D3DRS_COLORVERTEX = 141,
  D3DRS_DIFFUSEMATERIALSOURCE = 145,
  D3DRS_AMBIENTMATERIALSOURCE = 147,
  D3DRS_NORMALIZENORMALS = 143,
  D3DRS_SPECULARMATERIALSOURCE = 146,
  D3DRS_EMISSIVEMATERIALSOURCE = 148,
  D3DRS_BLENDOP = 171,
  D3DRS_SCISSORTESTENABLE = 174,
};
enum D3DFILLMODE : DWORD { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DSHADEMODE : DWORD { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 };
enum D3DBLENDOP : DWORD {
  D3DBLENDOP_ADD = 1,
  D3DBLENDOP_SUBTRACT = 2,
  D3DBLENDOP_REVSUBTRACT = 3,
  D3DBLENDOP_MIN = 4,
  D3DBLENDOP_MAX = 5
};

enum D3DZBUFFERTYPE : DWORD { D3DZB_FALSE = 0, D3DZB_TRUE = 1 };
enum D3DCULL : DWORD { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DCMPFUNC : DWORD {
  D3DCMP_NEVER = 1,
  D3DCMP_LESS = 2,
  D3DCMP_EQUAL = 3,
  D3DCMP_LESSEQUAL = 4,
  D3DCMP_GREATER = 5,
  D3DCMP_NOTEQUAL = 6,
  D3DCMP_GREATEREQUAL = 7,
  D3DCMP_ALWAYS = 8
};
enum D3DBLEND : DWORD {
  D3DBLEND_ZERO = 1,
  D3DBLEND_ONE = 2,
  D3DBLEND_SRCCOLOR = 3,
  D3DBLEND_INVSRCCOLOR = 4,
  D3DBLEND_SRCALPHA = 5,
  D3DBLEND_INVSRCALPHA = 6,
  D3DBLEND_DESTALPHA = 7,
  D3DBLEND_INVDESTALPHA = 8,
  D3DBLEND_DESTCOLOR = 9,
  D3DBLEND_INVDESTCOLOR = 10,
  D3DBLEND_SRCALPHASAT = 11
};
enum D3DMATERIALCOLORSOURCE : DWORD { D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2 };

enum D3DTEXTURESTAGESTATETYPE : DWORD {
  D3DTSS_COLOROP = 1,
  D3DTSS_COLORARG1 = 2,
  D3DTSS_COLORARG2 = 3,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ALPHAARG1 = 5,
  D3DTSS_ALPHAARG2 = 6,
  D3DTSS_TEXCOORDINDEX = 11,
  D3DTSS_TEXTURETRANSFORMFLAGS = 24,
};
enum D3DTEXTUREOP : DWORD {
  D3DTOP_DISABLE = 1,
  D3DTOP_SELECTARG1 = 2,
  D3DTOP_SELECTARG2 = 3,
  D3DTOP_MODULATE = 4,
  D3DTOP_MODULATE2X = 5,
  D3DTOP_MODULATE4X = 6,
  D3DTOP_ADD = 7,
};
#define D3DTA_DIFFUSE 0x00000000u
#define D3DTA_CURRENT 0x00000001u
#define D3DTA_TEXTURE 0x00000002u
#define D3DTA_TFACTOR 0x00000003u
#define D3DTA_SPECULAR 0x00000004u
#define D3DTA_TEMP 0x00000005u
#define D3DTA_SELECTMASK 0x0000000fu
#define D3DTA_COMPLEMENT 0x00000010u
#define D3DTA_ALPHAREPLICATE 0x00000020u
enum D3DTEXTURETRANSFORMFLAGS : DWORD {
  D3DTTFF_DISABLE = 0,
  D3DTTFF_COUNT1 = 1,
  D3DTTFF_COUNT2 = 2,
  D3DTTFF_COUNT3 = 3,
  D3DTTFF_COUNT4 = 4,
  D3DTTFF_PROJECTED = 256
};

enum D3DSAMPLERSTATETYPE : DWORD {
  D3DSAMP_ADDRESSU = 1,
  D3DSAMP_ADDRESSV = 2,
  D3DSAMP_ADDRESSW = 3,
  D3DSAMP_BORDERCOLOR = 4,
  D3DSAMP_MAGFILTER = 5,
  D3DSAMP_MINFILTER = 6,
  D3DSAMP_MIPFILTER = 7,
};
enum D3DTEXTUREADDRESS : DWORD {
  D3DTADDRESS_WRAP = 1,
  D3DTADDRESS_MIRROR = 2,
  D3DTADDRESS_CLAMP = 3,
  D3DTADDRESS_BORDER = 4,
  D3DTADDRESS_MIRRORONCE = 5
};
enum D3DTEXTUREFILTERTYPE : DWORD { D3DTEXF_NONE = 0, D3DTEXF_POINT = 1, D3DTEXF_LINEAR = 2 };

enum D3DTRANSFORMSTATETYPE : DWORD {
  D3DTS_VIEW = 2,
  D3DTS_PROJECTION = 3,
  D3DTS_TEXTURE0 = 16,
  D3DTS_TEXTURE1 = 17,
  D3DTS_WORLD = 256
};
#define D3DTS_WORLDMATRIX(i) static_cast<D3DTRANSFORMSTATETYPE>((i) + 256)

enum D3DLIGHTTYPE : DWORD { D3DLIGHT_POINT = 1, D3DLIGHT_SPOT = 2, D3DLIGHT_DIRECTIONAL = 3 };

struct D3DVECTOR {
  float x, y, z;
};
struct D3DCOLORVALUE {
  float r, g, b, a;
};
struct D3DMATRIX {
  union {
    struct {
      float _11, _12, _13, _14;
      float _21, _22, _23, _24;
      float _31, _32, _33, _34;
      float _41, _42, _43, _44;
    };
    float m[4][4];
  };
};
struct D3DMATERIAL9 {
  D3DCOLORVALUE Diffuse;
  D3DCOLORVALUE Ambient;
  D3DCOLORVALUE Specular;
  D3DCOLORVALUE Emissive;
  float Power;
};
struct D3DLIGHT9 {
  D3DLIGHTTYPE Type;
  D3DCOLORVALUE Diffuse;
  D3DCOLORVALUE Specular;
  D3DCOLORVALUE Ambient;
  D3DVECTOR Position;
  D3DVECTOR Direction;
  float Range;
  float Falloff;
  float Attenuation0;
  float Attenuation1;
  float Attenuation2;
  float Theta;
  float Phi;
};

struct D3DDISPLAYMODE {
  UINT Width;
  UINT Height;
  UINT RefreshRate;
  D3DFORMAT Format;
};

struct D3DADAPTER_IDENTIFIER9 {
  char Driver[MAX_DEVICE_IDENTIFIER_STRING];
  char Description[MAX_DEVICE_IDENTIFIER_STRING];
  char DeviceName[32];
  LARGE_INTEGER DriverVersion;
  DWORD VendorId;
  DWORD DeviceId;
  DWORD SubSysId;
  DWORD Revision;
  GUID DeviceIdentifier;
  DWORD WHQLLevel;
};

// The capability fields the program reads, in Direct3D 9's order up to MaxTextureHeight.
struct D3DCAPS9 {
  D3DDEVTYPE DeviceType;
  UINT AdapterOrdinal;
  DWORD Caps;
  DWORD Caps2;
  DWORD Caps3;
  DWORD PresentationIntervals;
  DWORD CursorCaps;
  DWORD DevCaps;
  DWORD PrimitiveMiscCaps;
  DWORD RasterCaps;
  DWORD ZCmpCaps;
  DWORD SrcBlendCaps;
  DWORD DestBlendCaps;
  DWORD AlphaCmpCaps;
  DWORD ShadeCaps;
  DWORD TextureCaps;
  DWORD TextureFilterCaps;
  DWORD CubeTextureFilterCaps;
  DWORD VolumeTextureFilterCaps;
  DWORD TextureAddressCaps;
  DWORD VolumeTextureAddressCaps;
  DWORD LineCaps;
  DWORD MaxTextureWidth;
  DWORD MaxTextureHeight;
  DWORD MaxActiveLights;
};

struct D3DPRESENT_PARAMETERS {
  UINT BackBufferWidth;
  UINT BackBufferHeight;
  D3DFORMAT BackBufferFormat;
  UINT BackBufferCount;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  D3DSWAPEFFECT SwapEffect;
  HWND hDeviceWindow;
  BOOL Windowed;
  BOOL EnableAutoDepthStencil;
  D3DFORMAT AutoDepthStencilFormat;
  DWORD Flags;
  UINT FullScreen_RefreshRateInHz;
  UINT PresentationInterval;
};

struct D3DSURFACE_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultisampleQuality;
  UINT Width;
  UINT Height;
};

struct D3DLOCKED_RECT {
  INT Pitch;
  void* pBits;
};

struct D3DVERTEXBUFFER_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  UINT Size;
  DWORD FVF;
};

struct RGNDATA;
struct D3DRECT {
  LONG x1, y1, x2, y2;
};

struct IDirect3DDevice9;

struct IDirect3DResource9 : IUnknown {
  virtual HRESULT GetDevice(IDirect3DDevice9** ppDevice) = 0;
};

struct IDirect3DSurface9 : IDirect3DResource9 {
  virtual HRESULT GetDesc(D3DSURFACE_DESC* pDesc) = 0;
  virtual HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) = 0;
  virtual HRESULT UnlockRect() = 0;
};

struct IDirect3DBaseTexture9 : IDirect3DResource9 {
  virtual DWORD GetLevelCount() = 0;
};

// LockRect/UnlockRect may run on any thread; a locked texture keeps drawing its previous
// content until unlocked. D3DERR_INVALIDCALL for a bad level or rectangle, a level that is
// already locked, or an unlock without lock.
struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
  virtual HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) = 0;
  virtual HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) = 0;
  virtual HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) = 0;
  virtual HRESULT UnlockRect(UINT Level) = 0;
};

struct IDirect3DVertexBuffer9 : IDirect3DResource9 {
  virtual HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) = 0;
  virtual HRESULT Unlock() = 0;
  virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) = 0;
};

// The device. Every call on the creating thread. Draw calls outside BeginScene/EndScene, a
// vertex format without position, a stride shorter than the format or vertices beyond the end
// of the stream's buffer give D3DERR_INVALIDCALL. While lost, draws and clears succeed and do
// nothing, Present returns D3DERR_DEVICELOST.
struct IDirect3DDevice9 : IUnknown {
  // D3D_OK; when lost: D3DERR_DEVICELOST once, then D3DERR_DEVICENOTRESET until Reset.
  virtual HRESULT TestCooperativeLevel() = 0;
  virtual HRESULT GetDeviceCaps(D3DCAPS9* pCaps) = 0;
  virtual HRESULT GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) = 0;
  // The system cursor stays in use: the bitmap (A8R8G8B8) is only checked, the position
  // ignored, and ShowCursor records the flag and returns the previous one.
  virtual HRESULT SetCursorProperties(UINT XHotSpot, UINT YHotSpot, IDirect3DSurface9* pCursorBitmap) = 0;
  virtual void SetCursorPosition(int X, int Y, DWORD Flags) = 0;
  virtual BOOL ShowCursor(BOOL bShow) = 0;
  // Re-creates the back buffer (0 width/height: the window's client size), applies windowed
  // or fullscreen as in CreateDevice, returns every state to Direct3D's defaults and drops the
  // GL copies of all textures, which upload again from their system-memory copies at next use.
  // D3DERR_INVALIDCALL for bad parameters, D3DERR_NOTAVAILABLE when the mode cannot be set.
  virtual HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) = 0;
  // Draws the back buffer stretched over the window's drawable and swaps; a drawable the same
  // whole number of times as large in both directions (a scaled screen) shows each back-buffer
  // pixel as a square, without blur. Rectangles, regions and override windows are ignored. D3DERR_INVALIDCALL inside a
  // scene. As with D3DSWAPEFFECT_DISCARD, the back buffer's content is undefined afterwards: while the window matches
  // an X8R8G8B8 back buffer in size, frames are drawn straight into the window.
  virtual HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                          const RGNDATA* pDirtyRegion) = 0;
  virtual HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                IDirect3DSurface9** ppBackBuffer) = 0;
  // Formats A8R8G8B8, X8R8G8B8, R5G6B5, A1R5G5B5, X1R5G5B5, A4R4G4B4 (X formats sample with
  // alpha 1), pools MANAGED and DEFAULT (both keep a system-memory copy), Levels 0 gives one
  // level. D3DERR_INVALIDCALL for other formats or pools, render-target or depth usage, or a
  // size outside 1..MaxTextureWidth; E_OUTOFMEMORY when the copy cannot be allocated.
  virtual HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) = 0;
  virtual HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                     IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) = 0;
  virtual HRESULT CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                              IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) = 0;
  // Several pairs per frame are fine; a nested BeginScene or an unpaired EndScene gives
  // D3DERR_INVALIDCALL.
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  // Clears the whole back buffer or the given rectangles, within the scissor rectangle while
  // the scissor test is on.
  virtual HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) = 0;
  // World, view, projection (row vectors, depth 0..1) and texture matrices. Two texture
  // coordinates enter the texture matrix as (u, v, 1, 0), so 2-D translation sits in _31/_32.
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) = 0;
  virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) = 0;
  virtual HRESULT SetMaterial(const D3DMATERIAL9* pMaterial) = 0;
  virtual HRESULT SetLight(DWORD Index, const D3DLIGHT9* pLight) = 0;
  virtual HRESULT LightEnable(DWORD Index, BOOL Enable) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) = 0;
  virtual HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) = 0;
  virtual HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) = 0;
  virtual HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) = 0;
  virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) = 0;
  // Pre-transformed (XYZRHW) vertices are in back-buffer pixels with pixel centres at integer
  // coordinates, and never lit. As in Direct3D, this call unsets stream 0.
  virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                  const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) = 0;
  virtual HRESULT SetFVF(DWORD FVF) = 0;
  virtual HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                  UINT Stride) = 0;
  // The scissor rectangle in back-buffer pixels; it limits draws and Clear while
  // D3DRS_SCISSORTESTENABLE is TRUE. Any rectangle is accepted: it is intersected with the back
  // buffer when used, and an empty or inverted one lets nothing through. Reset and a new device
  // set it to the whole back buffer with the test off. D3DERR_INVALIDCALL for a null pointer.
  virtual HRESULT SetScissorRect(const RECT* pRect) = 0;
  virtual HRESULT GetScissorRect(RECT* pRect) = 0;
};

// Adapters are SDL's displays; the device type is HAL only (others: D3DERR_NOTAVAILABLE).
// Display formats X8R8G8B8, R5G6B5, X1R5G5B5; back buffers A8R8G8B8, X8R8G8B8; depth D16,
// D24X8, D24S8, D32; no multisampling. Initialises SDL video while it lives.
struct IDirect3D9 : IUnknown {
  virtual UINT GetAdapterCount() = 0;
  virtual HRESULT GetAdapterIdentifier(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER9* pIdentifier) = 0;
  virtual UINT GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) = 0;
  virtual HRESULT EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode) = 0;
  virtual HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) = 0;
  virtual HRESULT CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat, D3DFORMAT BackBufferFormat,
                                  BOOL bWindowed) = 0;
  virtual HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                                    D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) = 0;
  virtual HRESULT CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat,
                                             BOOL Windowed, D3DMULTISAMPLE_TYPE MultiSampleType,
                                             DWORD* pQualityLevels) = 0;
  virtual HRESULT CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                         D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) = 0;
  virtual HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) = 0;
  // A GL 3.3 core context on the SDL window behind hDeviceWindow (else hFocusWindow), which
  // the Win32 layer made with SDL_WINDOW_OPENGL. Windowed FALSE switches the window to the
  // display mode nearest the back-buffer size, fullscreen. D3DERR_INVALIDCALL for bad
  // parameters or no such window; D3DERR_NOTAVAILABLE when GL or the mode is not available.
  virtual HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                               D3DPRESENT_PARAMETERS* pPresentationParameters,
                               IDirect3DDevice9** ppReturnedDeviceInterface) = 0;
};

// Null for any SDK version but D3D_SDK_VERSION, or when SDL video cannot start.
IDirect3D9* Direct3DCreate9(UINT SDKVersion);
