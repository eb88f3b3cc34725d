// Direct3D formats the layer knows: how a texture format is stored in system memory and
// handed to OpenGL, and which display, back-buffer and depth formats the adapter offers.
#pragma once

#include <epoxy/gl.h>

#include "platform/d3d9/d3d9.h"

namespace d3d9 {

struct TextureFormat {
  D3DFORMAT format;
  UINT bytesPerPixel;
  GLenum glFormat;  // pixel transfer format and type matching Direct3D's memory layout
  GLenum glType;
  bool opaque;  // alpha reads as 1 (the X formats)
};

// Null for a format that cannot be a texture here.
const TextureFormat* FindTextureFormat(D3DFORMAT format);

bool IsDisplayFormat(D3DFORMAT format);     // X8R8G8B8, R5G6B5, X1R5G5B5
bool IsBackBufferFormat(D3DFORMAT format);  // A8R8G8B8, X8R8G8B8
bool IsDepthFormat(D3DFORMAT format);       // D16, D24X8, D24S8, D32

// Bytes per row of a level, rounded up to 4 like Direct3D's pitches.
UINT RowPitch(const TextureFormat& format, UINT width);

}  // namespace d3d9
