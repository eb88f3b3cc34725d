// D3DX 9 stand-in: image files to textures, fonts, sprites and matrix helpers. The contract of
// the layer.
//
// Names, arguments and result codes are D3DX 9's; only what the program calls exists.
// A library of its own (orbelle_d3dx9) over the Direct3D 9 stand-in, as D3DX is over Direct3D
// on Windows: it uses the device only through its public interface (d3d9.h), so every texture
// here is an ordinary device texture and every draw an ordinary DrawPrimitiveUP; it reports
// unsupported requests under the device layer's name through the stand-ins' one log
// (platform/kit/LogOnce.h). The device layer never includes this one.
// Threads: every call runs on the device's thread (the window's thread), except the matrix
// helpers of d3dx9math.h, which are pure and run on any thread.
// Errors never cross this edge as exceptions: every failure is an HRESULT and leaves the out
// pointer null.
// References: a font or sprite holds one on its device until its last Release; a sprite holds
// one on each queued texture until the quad is drawn or dropped.
#pragma once

#include "platform/d3d9/d3d9.h"
#include "platform/d3dx9/d3dx9math.h"

// ---------------------------------------------------------------------------------------------
// Result codes and common values

#define MAKE_D3DXHRESULT(code) MAKE_HRESULT(1, 0x876, code)
constexpr HRESULT D3DXERR_INVALIDDATA = MAKE_D3DXHRESULT(2905);  // 0x88760B59

#define D3DX_DEFAULT static_cast<UINT>(-1)
#define D3DX_DEFAULT_NONPOW2 static_cast<UINT>(-2)
#define D3DX_FROM_FILE static_cast<UINT>(-3)

#define D3DX_FILTER_NONE 0x00000001u
#define D3DX_FILTER_POINT 0x00000002u
#define D3DX_FILTER_LINEAR 0x00000003u
#define D3DX_FILTER_TRIANGLE 0x00000004u
#define D3DX_FILTER_BOX 0x00000005u

// ---------------------------------------------------------------------------------------------
// Textures from image files

enum D3DXIMAGE_FILEFORMAT : DWORD {
  D3DXIFF_BMP = 0,
  D3DXIFF_JPG = 1,
  D3DXIFF_TGA = 2,
  D3DXIFF_PNG = 3,
  D3DXIFF_DDS = 4,
  D3DXIFF_PPM = 5,
  D3DXIFF_DIB = 6,
  D3DXIFF_HDR = 7,
  D3DXIFF_PFM = 8,
  D3DXIFF_GIF = 100,  // this stand-in also reads GIF files (their first frame)
  D3DXIFF_FORCE_DWORD = 0x7fffffff
};

struct D3DXIMAGE_INFO {
  UINT Width;                    // of the image in the file
  UINT Height;                   // of the image in the file (always positive)
  UINT Depth;                    // 1
  UINT MipLevels;                // 1
  D3DFORMAT Format;              // the file's pixel format: R8G8B8, X8R8G8B8, A8R8G8B8 or P8
  D3DRESOURCETYPE ResourceType;  // D3DRTYPE_TEXTURE
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

struct PALETTEENTRY {
  BYTE peRed, peGreen, peBlue, peFlags;
};

// Creates a texture from a BMP (uncompressed 1/4/8/16/24/32-bit, RLE4/RLE8, bottom-up or
// top-down), PNG, JPEG or GIF file (the first frame). pSrcFile is a path in Windows form,
// relative to the working directory or absolute.
//   Width, Height: 0 or D3DX_DEFAULT take the image's size rounded up to powers of two;
//     D3DX_DEFAULT_NONPOW2 or D3DX_FROM_FILE take it exactly; any other value is used as given.
//   MipLevels: any value; one level is created (everything is drawn 1:1 in screen space).
//   Format: D3DFMT_UNKNOWN or D3DFMT_A8R8G8B8 give A8R8G8B8; D3DFMT_X8R8G8B8 is kept; any other
//     format gives A8R8G8B8, the closest this device offers.
//   Filter: the image is never scaled; it sits unscaled in the top-left corner, cropped to the
//     texture if larger, and texels outside it are transparent black (0x00000000).
//   ColorKey: when not 0, every texel equal to it (as A8R8G8B8, so 0xFFFF00FF is opaque
//     magenta) becomes transparent black.
//   pSrcInfo: when not null, receives the file's description. pPalette is not written.
// Before any decoding the file's header is checked: a size that the file's bytes cannot hold
// (a truncated or hostile file) or that exceeds the device's MaxTextureWidth/Height gives
// D3DXERR_INVALIDDATA without allocating for it. Also D3DXERR_INVALIDDATA: empty, truncated,
// corrupt or unrecognised files. HRESULT_FILE_NOT_FOUND: the file cannot be opened.
// D3DERR_INVALIDCALL: a null device, path or out pointer. Device failures pass through.
HRESULT D3DXCreateTextureFromFileExW(IDirect3DDevice9* pDevice, LPCWSTR pSrcFile, UINT Width, UINT Height,
                                     UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                     DWORD MipFilter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                     PALETTEENTRY* pPalette, IDirect3DTexture9** ppTexture);

// ---------------------------------------------------------------------------------------------
// GDI values the font description and text drawing use

#ifndef LF_FACESIZE
#define LF_FACESIZE 32
#endif
#ifndef FW_DONTCARE
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_EXTRALIGHT 200
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_EXTRABOLD 800
#define FW_HEAVY 900
#endif
#ifndef DEFAULT_CHARSET
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define SHIFTJIS_CHARSET 128
#define HANGUL_CHARSET 129
#define GB2312_CHARSET 134
#define CHINESEBIG5_CHARSET 136
#define GREEK_CHARSET 161
#define TURKISH_CHARSET 162
#define HEBREW_CHARSET 177
#define ARABIC_CHARSET 178
#define BALTIC_CHARSET 186
#define RUSSIAN_CHARSET 204
#define THAI_CHARSET 222
#define EASTEUROPE_CHARSET 238
#endif
#ifndef OUT_DEFAULT_PRECIS
#define OUT_DEFAULT_PRECIS 0
#endif
#ifndef DEFAULT_QUALITY
#define DEFAULT_QUALITY 0
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#endif
#ifndef DEFAULT_PITCH
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define FF_SCRIPT 0x40
#define FF_DECORATIVE 0x50
#endif
#include "platform/win32/DrawTextFlags.h"

// ---------------------------------------------------------------------------------------------
// Fonts and sprites

struct D3DXFONT_DESCW {
  INT Height;   // > 0: cell height (ascent + descent) in pixels; < 0: character (em) height; 0: 12
  UINT Width;   // 0: the face's own proportions
  UINT Weight;  // FW_ value; 600 or more on a face without a bold style emboldens it
  UINT MipLevels;
  BOOL Italic;
  BYTE CharSet;  // the script the face should cover when the family is not found
  BYTE OutputPrecision;
  BYTE Quality;
  BYTE PitchAndFamily;
  WCHAR FaceName[LF_FACESIZE];
};

// ID3DXSprite::Begin flags.
#define D3DXSPRITE_DONOTSAVESTATE 0x00000001u
#define D3DXSPRITE_DONOTMODIFY_RENDERSTATE 0x00000002u
#define D3DXSPRITE_OBJECTSPACE 0x00000004u
#define D3DXSPRITE_BILLBOARD 0x00000008u
#define D3DXSPRITE_ALPHABLEND 0x00000010u
#define D3DXSPRITE_SORT_TEXTURE 0x00000020u
#define D3DXSPRITE_SORT_DEPTH_FRONTTOBACK 0x00000040u
#define D3DXSPRITE_SORT_DEPTH_BACKTOFRONT 0x00000080u

// A batch of screen-space textured quads (the font draws its glyphs through one).
struct ID3DXSprite : IUnknown {
  // The device the sprite draws on, with a reference added. D3DERR_INVALIDCALL: null pointer.
  virtual HRESULT GetDevice(IDirect3DDevice9** ppDevice) = 0;
  // Starts a batch. D3DXSPRITE_ALPHABLEND blends with source alpha; D3DXSPRITE_SORT_TEXTURE
  // draws the batch grouped by texture (in first-use order); other flags are ignored (logged
  // once). The sprite sets the states it draws with (blending, alpha test, no depth test, no
  // culling, no lighting, texture stage 0 modulating texture and vertex colour, sampler 0 point
  // filtering and clamping) and, at End, puts the render states it changed back; texture stage,
  // sampler, texture and vertex-format settings are left as it drew with, so a caller sets its
  // own before its next draw (the quad batch does). D3DERR_INVALIDCALL when already begun.
  virtual HRESULT Begin(DWORD Flags) = 0;
  // Draws what was queued since Begin or the last Flush. D3DERR_INVALIDCALL when not begun.
  virtual HRESULT Flush() = 0;
  // Flush, then restore the render states. D3DERR_INVALIDCALL when not begun.
  virtual HRESULT End() = 0;
  // Before a device reset: ends an open batch, dropping what it queued and restoring the render
  // states. S_OK.
  virtual HRESULT OnLostDevice() = 0;
  // After a device reset: nothing to recreate (the sprite owns no device resources). S_OK.
  virtual HRESULT OnResetDevice() = 0;
};

struct ID3DXFont : IUnknown {
  // The device the font draws on, with a reference added. D3DERR_INVALIDCALL: null pointer.
  virtual HRESULT GetDevice(IDirect3DDevice9** ppDevice) = 0;
  // The description the font was created with (FaceName as requested).
  // D3DERR_INVALIDCALL: null pointer.
  virtual HRESULT GetDescW(D3DXFONT_DESCW* pDesc) = 0;
  // Rasterises the glyphs of Count code units of the text (-1: up to the terminating 0) into the
  // glyph cache ahead of drawing. D3DERR_INVALIDCALL: null text; texture failures pass through.
  virtual HRESULT PreloadTextW(LPCWSTR pString, INT Count) = 0;
  // Draws Count UTF-16 code units of pString (-1: up to the terminating 0) in pRect, with
  // colour modulating the white glyphs. Lines break at '\n' unless DT_SINGLELINE; DT_CENTER /
  // DT_RIGHT and DT_VCENTER / DT_BOTTOM align within pRect (DT_VCENTER and DT_BOTTOM apply to
  // the whole block); without DT_NOCLIP glyphs are clipped to pRect; DT_CALCRECT only measures,
  // setting pRect's right and bottom. pSprite: the batch to queue the glyphs in (drawn at its
  // Flush/End); null draws at once through the font's own sprite. Characters the face lacks
  // are drawn from a face that has them, found through fontconfig.
  // Returns the height of the text in pixels (for DT_VCENTER / DT_BOTTOM, the distance from
  // pRect's top to the text's bottom), 0 on failure or for empty text.
  virtual INT DrawTextW(ID3DXSprite* pSprite, LPCWSTR pString, INT Count, LPRECT pRect, DWORD Format,
                        D3DCOLOR Color) = 0;
  // Before a device reset: ends the font's own sprite if a batch is open on it. S_OK.
  virtual HRESULT OnLostDevice() = 0;
  // After a device reset: nothing to recreate (the glyph pages are managed textures). S_OK.
  virtual HRESULT OnResetDevice() = 0;
};

// Creates a font. The face is found by family name through fontconfig, including the fonts
// registered for the process with AddFontResourceW; a family name matches case-insensitively
// any of the names fontconfig lists for a face. When no face has that family, the face that
// best covers CharSet's script (for DEFAULT_CHARSET: any) is used, serif, monospace or
// sans-serif after PitchAndFamily, as the Windows font mapper does.
// D3DERR_INVALIDCALL: null device, description or out pointer. E_FAIL: no usable face at all.
HRESULT D3DXCreateFontIndirectW(IDirect3DDevice9* pDevice, const D3DXFONT_DESCW* pDesc, ID3DXFont** ppFont);
// D3DXCreateFontIndirectW with the description's fields as arguments; a null pFaceName is an
// empty family, and a name is cut to LF_FACESIZE - 1 code units.
HRESULT D3DXCreateFontW(IDirect3DDevice9* pDevice, INT Height, UINT Width, UINT Weight, UINT MipLevels, BOOL Italic,
                        DWORD CharSet, DWORD OutputPrecision, DWORD Quality, DWORD PitchAndFamily, LPCWSTR pFaceName,
                        ID3DXFont** ppFont);
// Creates a sprite on the device, not begun. D3DERR_INVALIDCALL: null device or out pointer.
HRESULT D3DXCreateSprite(IDirect3DDevice9* pDevice, ID3DXSprite** ppSprite);
