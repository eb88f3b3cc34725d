// Reads an image file's header and checks it against the file's size before anything decodes
// it, so that a truncated or hostile file cannot make a decoder allocate for pixels the file
// cannot describe. Pure function of the bytes; any thread.
#pragma once

#include <cstdint>
#include <span>

#include "platform/d3dx9/d3dx9.h"

namespace d3dx {

struct ImageHeader {
  D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;
  UINT width = 0;
  UINT height = 0;  // always positive; BMP's top-down sign is the decoder's business
  D3DFORMAT pixelFormat = D3DFMT_UNKNOWN;
};

// Recognises BMP, PNG, JPEG and GIF by content. S_OK and *out filled when the header is
// sound: dimensions non-zero and at most maxWidth x maxHeight, and no more pixels than the
// file's bytes can encode (uncompressed BMP rows must all be present; compressed formats are
// bounded by the most pixels one byte of their coding can produce). A JPEG must reach its end
// marker and a GIF's first image must be complete. D3DXERR_INVALIDDATA otherwise.
HRESULT ReadImageHeader(std::span<const std::uint8_t> file, UINT maxWidth, UINT maxHeight, ImageHeader* out);

}  // namespace d3dx
