// Still pictures for the still-image source: recognised by content, checked by header, and
// decoded by the isolated picture decoder into GStreamer's packed BGR (rows top first, each
// padded to 4 bytes). Internal to platform/dshow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/kit/wintypes.h"
#include "platform/picture/PictureDecode.h"

namespace dshow {

struct StillImage {
  int width = 0;
  int height = 0;
  int stride = 0;  // (3 x width + 3) & ~3
  // stride x height bytes, read-only, held once: the pipeline's buffer wraps these same bytes
  // rather than copying them.
  std::shared_ptr<const std::uint8_t> bgr;
  std::size_t size = 0;
};

// True when the first bytes are a bmp, jpg, gif or png picture. A png is recognised so that it
// is refused as a picture rather than handed to another decoder.
bool LooksLikePicture(const std::uint8_t* data, std::size_t size);

// A cheap look at the first bytes of a picture file before a decoder process is started: false
// for a png, a header that is cut short or malformed, or a size announced beyond kMaxSide a side
// or kMaxPixels in all. Anything it lets through is still checked by the decoder.
bool PictureHeaderPlausible(const std::uint8_t* data, std::size_t size);
inline constexpr int kMaxSide = picture::PictureLimits{}.maxSide;
inline constexpr std::int64_t kMaxPixels = picture::PictureLimits{}.maxPixels;

// Decodes the whole picture file open on fd, whose first bytes are head, in isolation (the first
// frame of a gif). S_OK, VFW_E_INVALID_FILE_FORMAT or E_OUTOFMEMORY.
HRESULT DecodeStillImage(int fd, const std::uint8_t* head, std::size_t headSize, StillImage* out);

}  // namespace dshow
