#include "platform/d3d9/Formats.h"

#include <array>

namespace d3d9 {

namespace {

// Direct3D names channels from the most significant bit; on a little-endian machine an
// A8R8G8B8 texel is the bytes B, G, R, A, which GL calls BGRA with the reversed packed type.
constexpr std::array kTextureFormats = {
    TextureFormat{D3DFMT_A8R8G8B8, 4, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false},
    TextureFormat{D3DFMT_X8R8G8B8, 4, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, true},
    TextureFormat{D3DFMT_R5G6B5, 2, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, true},
    TextureFormat{D3DFMT_A1R5G5B5, 2, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false},
    TextureFormat{D3DFMT_X1R5G5B5, 2, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, true},
    TextureFormat{D3DFMT_A4R4G4B4, 2, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false},
};

}  // namespace

const TextureFormat* FindTextureFormat(D3DFORMAT format) {
  for (const TextureFormat& f : kTextureFormats)
    if (f.format == format) return &f;
  return nullptr;
}

bool IsDisplayFormat(D3DFORMAT format) {
  return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5;
}

bool IsBackBufferFormat(D3DFORMAT format) {
  return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

bool IsDepthFormat(D3DFORMAT format) {
  return format == D3DFMT_D16 || format == D3DFMT_D24X8 || format == D3DFMT_D24S8 || format == D3DFMT_D32;
}

UINT RowPitch(const TextureFormat& format, UINT width) {
  return (width * format.bytesPerPixel + 3) & ~3u;
}

}  // namespace d3d9
