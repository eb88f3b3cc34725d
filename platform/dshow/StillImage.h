// Still pictures for the still-image source: checked, decoded with SDL2_image, and laid out as
// GStreamer's packed BGR (rows top first, each padded to 4 bytes). Internal to platform/dshow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/wintypes.h"

namespace dshow {

struct StillImage {
  int width = 0;
  int height = 0;
  int stride = 0;  // (3 x width + 3) & ~3
  std::vector<std::uint8_t> bgr;
};

// True when the first bytes are a bmp, jpg, gif or png picture.
bool LooksLikePicture(const std::uint8_t* data, std::size_t size);

// Checks the header of a whole picture file before anything is decoded: the size must be at
// most kMaxSide a side and kMaxPixels in all, an uncompressed bmp must hold its pixels, and a
// jpg must carry its end marker (SDL2_image fills a truncated one with grey).
bool PictureHeaderPlausible(const std::uint8_t* data, std::size_t size);
inline constexpr int kMaxSide = 16384;
inline constexpr std::int64_t kMaxPixels = 8192LL * 8192;

// Decodes a whole picture file (the first frame of a gif). S_OK, VFW_E_INVALID_FILE_FORMAT or
// E_OUTOFMEMORY.
HRESULT DecodeStillImage(const std::vector<std::uint8_t>& file, StillImage* out);

}  // namespace dshow
