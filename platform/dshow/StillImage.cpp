#include "platform/dshow/StillImage.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstring>
#include <new>

#include "platform/dshow/dshow.h"

namespace dshow {
namespace {

std::uint32_t Le16(const std::uint8_t* p) {
  return p[0] | (p[1] << 8);
}
std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint32_t Be16(const std::uint8_t* p) {
  return (p[0] << 8) | p[1];
}
std::uint32_t Be32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

bool SizeAllowed(std::int64_t w, std::int64_t h) {
  return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels;
}

bool IsBmp(const std::uint8_t* d, std::size_t n) {
  return n >= 2 && d[0] == 'B' && d[1] == 'M';
}
bool IsJpeg(const std::uint8_t* d, std::size_t n) {
  return n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF;
}
bool IsGif(const std::uint8_t* d, std::size_t n) {
  return n >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0);
}
bool IsPng(const std::uint8_t* d, std::size_t n) {
  return n >= 8 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0;
}

bool BmpPlausible(const std::uint8_t* d, std::size_t n) {
  if (n < 26) return false;
  const std::uint32_t offset = Le32(d + 10);
  const std::uint32_t headerSize = Le32(d + 14);
  std::int64_t w, h;
  std::uint32_t bits, compression = 0;
  if (headerSize == 12) {
    w = Le16(d + 18);
    h = Le16(d + 20);
    bits = Le16(d + 24);
  } else {
    if (headerSize < 40 || n < 34) return false;
    w = static_cast<std::int32_t>(Le32(d + 18));
    h = static_cast<std::int32_t>(Le32(d + 22));
    bits = Le16(d + 28);
    compression = Le32(d + 30);
  }
  if (h < 0) h = -h;
  if (!SizeAllowed(w, h)) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  const bool uncompressed = compression == 0 || compression == 3;
  if (!uncompressed) return true;
  const std::int64_t rowBytes = ((w * bits + 31) / 32) * 4;
  return offset <= n && rowBytes * h <= static_cast<std::int64_t>(n - offset);
}

bool JpegPlausible(const std::uint8_t* d, std::size_t n) {
  // The end-of-image marker must be near the end of the file.
  bool ended = false;
  const std::size_t from = n > 64 ? n - 64 : 0;
  for (std::size_t i = from; i + 1 < n; ++i)
    if (d[i] == 0xFF && d[i + 1] == 0xD9) ended = true;
  if (!ended) return false;
  std::size_t i = 2;
  while (i + 4 <= n) {
    if (d[i] != 0xFF) return false;
    const std::uint8_t marker = d[i + 1];
    if (marker == 0xFF) {
      ++i;
      continue;
    }
    const std::size_t length = Be16(d + i + 2);
    const bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (sof) return i + 9 <= n && SizeAllowed(Be16(d + i + 7), Be16(d + i + 5));
    if (length < 2) return false;
    i += 2 + length;
  }
  return false;
}

}  // namespace

bool LooksLikePicture(const std::uint8_t* data, std::size_t size) {
  return IsBmp(data, size) || IsJpeg(data, size) || IsGif(data, size) || IsPng(data, size);
}

bool PictureHeaderPlausible(const std::uint8_t* d, std::size_t n) {
  if (IsBmp(d, n)) return BmpPlausible(d, n);
  if (IsJpeg(d, n)) return JpegPlausible(d, n);
  if (IsGif(d, n)) return n >= 10 && SizeAllowed(Le16(d + 6), Le16(d + 8));
  if (IsPng(d, n)) return n >= 24 && SizeAllowed(Be32(d + 16), Be32(d + 20));
  return false;
}

HRESULT DecodeStillImage(const std::vector<std::uint8_t>& file, StillImage* out) {
  if (!PictureHeaderPlausible(file.data(), file.size())) return VFW_E_INVALID_FILE_FORMAT;
  SDL_RWops* rw = SDL_RWFromConstMem(file.data(), static_cast<int>(file.size()));
  if (!rw) return E_OUTOFMEMORY;
  SDL_Surface* loaded = IMG_Load_RW(rw, 1);
  if (!loaded) return VFW_E_INVALID_FILE_FORMAT;
  SDL_Surface* bgr = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_BGR24, 0);
  SDL_FreeSurface(loaded);
  if (!bgr) return E_OUTOFMEMORY;
  HRESULT hr = S_OK;
  if (!SizeAllowed(bgr->w, bgr->h)) {
    hr = VFW_E_INVALID_FILE_FORMAT;
  } else {
    out->width = bgr->w;
    out->height = bgr->h;
    out->stride = (3 * bgr->w + 3) & ~3;
    try {
      out->bgr.assign(static_cast<std::size_t>(out->stride) * out->height, 0);
    } catch (const std::bad_alloc&) {
      hr = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(hr)) {
      for (int y = 0; y < out->height; ++y)
        std::memcpy(out->bgr.data() + static_cast<std::size_t>(y) * out->stride,
                    static_cast<const std::uint8_t*>(bgr->pixels) + static_cast<std::size_t>(y) * bgr->pitch,
                    static_cast<std::size_t>(3) * out->width);
    }
  }
  SDL_FreeSurface(bgr);
  return hr;
}

}  // namespace dshow
