// D3DXCreateTextureFromFileExW: the file is read whole, its header checked, then decoded by
// SDL2_image into 32-bit pixels and copied unscaled into the top-left corner of the texture.
#include <SDL_image.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3dx9/ImageHeader.h"
#include "platform/d3dx9/d3dx9.h"
#include "platform/kit/Guarded.h"
#include "platform/kit/LogOnce.h"
#include "platform/win32/Paths.h"

namespace {

// Files larger than this are not images the program could show (the texture limit bounds
// them far below); refusing them keeps a hostile file from being read whole.
constexpr long kMaxImageFileBytes = 256L << 20;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
struct SurfaceFree {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

HRESULT ReadWholeFile(LPCWSTR path, std::vector<std::uint8_t>* bytes) {
  const std::string native = Win32ToNativePath(path);
  std::unique_ptr<FILE, FileCloser> file(native.empty() ? nullptr : std::fopen(native.c_str(), "rb"));
  if (!file) return HRESULT_FILE_NOT_FOUND;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return D3DXERR_INVALIDDATA;
  const long size = std::ftell(file.get());
  if (size <= 0 || size > kMaxImageFileBytes || std::fseek(file.get(), 0, SEEK_SET) != 0) return D3DXERR_INVALIDDATA;
  bytes->resize(static_cast<std::size_t>(size));
  if (std::fread(bytes->data(), 1, bytes->size(), file.get()) != bytes->size()) return D3DXERR_INVALIDDATA;
  return S_OK;
}

UINT NextPowerOfTwo(UINT v) {
  UINT p = 1;
  while (p < v) p <<= 1;
  return p;
}

UINT TextureSize(UINT requested, UINT image, UINT limit) {
  if (requested == 0 || requested == D3DX_DEFAULT) return std::min(NextPowerOfTwo(image), limit);
  if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) return image;
  return requested;
}

const char* SdlImageType(D3DXIMAGE_FILEFORMAT format) {
  switch (format) {
    case D3DXIFF_BMP:
      return "BMP";
    case D3DXIFF_PNG:
      return "PNG";
    case D3DXIFF_JPG:
      return "JPG";
    default:
      return "GIF";
  }
}

// Decodes with the decoder of the format the header named (never by guessing) into 32-bit
// ARGB: on little-endian memory B, G, R, A, which is D3DFMT_A8R8G8B8's layout.
SurfacePtr Decode(const std::vector<std::uint8_t>& bytes, const d3dx::ImageHeader& header) {
  SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
  if (!rw) return nullptr;
  SurfacePtr decoded(IMG_LoadTyped_RW(rw, 1, SdlImageType(header.fileFormat)));
  if (!decoded || decoded->w != static_cast<int>(header.width) || decoded->h != static_cast<int>(header.height))
    return nullptr;
  return SurfacePtr(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
}

}  // namespace

HRESULT D3DXCreateTextureFromFileExW(IDirect3DDevice9* pDevice, LPCWSTR pSrcFile, UINT Width, UINT Height,
                                     UINT /*MipLevels*/, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, DWORD /*Filter*/,
                                     DWORD /*MipFilter*/, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                     PALETTEENTRY* /*pPalette*/, IDirect3DTexture9** ppTexture) {
  return kit::Guarded([&]() -> HRESULT {
    if (ppTexture) *ppTexture = nullptr;
    if (!pDevice || !pSrcFile || !ppTexture) return D3DERR_INVALIDCALL;

    std::vector<std::uint8_t> bytes;
    if (HRESULT hr = ReadWholeFile(pSrcFile, &bytes); FAILED(hr)) return hr;

    D3DCAPS9 caps{};
    if (FAILED(pDevice->GetDeviceCaps(&caps)) || caps.MaxTextureWidth == 0 || caps.MaxTextureHeight == 0)
      caps.MaxTextureWidth = caps.MaxTextureHeight = 2048;
    d3dx::ImageHeader header;
    if (HRESULT hr = d3dx::ReadImageHeader(bytes, caps.MaxTextureWidth, caps.MaxTextureHeight, &header); FAILED(hr))
      return hr;

    SurfacePtr image = Decode(bytes, header);
    if (!image) return D3DXERR_INVALIDDATA;
    bytes = {};

    const UINT texWidth = TextureSize(Width, header.width, caps.MaxTextureWidth);
    const UINT texHeight = TextureSize(Height, header.height, caps.MaxTextureHeight);
    if (Format != D3DFMT_X8R8G8B8) {
      if (Format != D3DFMT_UNKNOWN && Format != D3DFMT_A8R8G8B8)
        kit::LogOnce("d3d9", "D3DXCreateTextureFromFileExW",
                     "format " + std::to_string(Format) + " loaded as A8R8G8B8");
      Format = D3DFMT_A8R8G8B8;
    }
    IDirect3DTexture9* texture = nullptr;
    if (HRESULT hr = pDevice->CreateTexture(texWidth, texHeight, 1, Usage, Format, Pool, &texture, nullptr); FAILED(hr))
      return hr;

    D3DLOCKED_RECT locked{};
    if (HRESULT hr = texture->LockRect(0, &locked, nullptr, 0); FAILED(hr)) {
      texture->Release();
      return hr;
    }
    const UINT copyWidth = std::min<UINT>(texWidth, image->w);
    const UINT copyHeight = std::min<UINT>(texHeight, image->h);
    for (UINT y = 0; y < texHeight; ++y) {
      auto* dst = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
      UINT x = 0;
      if (y < copyHeight) {
        const auto* src =
            reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(image->pixels) + y * image->pitch);
        for (; x < copyWidth; ++x) dst[x] = (ColorKey != 0 && src[x] == ColorKey) ? 0u : src[x];
      }
      for (; x < texWidth; ++x) dst[x] = 0;
    }
    texture->UnlockRect(0);

    if (pSrcInfo) {
      *pSrcInfo =
          D3DXIMAGE_INFO{header.width, header.height, 1, 1, header.pixelFormat, D3DRTYPE_TEXTURE, header.fileFormat};
    }
    *ppTexture = texture;
    return S_OK;
  });
}
