#include "platform/dshow/StillImage.h"

#include <cstring>

#include "platform/dshow/IsolatedDecoder.h"
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
  const std::uint32_t headerSize = Le32(d + 14);
  std::int64_t w, h;
  std::uint32_t bits;
  if (headerSize == 12) {
    w = Le16(d + 18);
    h = Le16(d + 20);
    bits = Le16(d + 24);
  } else {
    if (headerSize < 40 || n < 34) return false;
    w = static_cast<std::int32_t>(Le32(d + 18));
    h = static_cast<std::int32_t>(Le32(d + 22));
    bits = Le16(d + 28);
  }
  if (h < 0) h = -h;
  if (!SizeAllowed(w, h)) return false;
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The size is in the frame header; markers before it are skipped by their lengths. A frame
// header beyond the bytes at hand is left to the decoder.
bool JpegPlausible(const std::uint8_t* d, std::size_t n) {
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
    if (sof) return i + 9 <= n ? SizeAllowed(Be16(d + i + 7), Be16(d + i + 5)) : true;
    if (length < 2) return false;
    i += 2 + length;
  }
  return true;
}

}  // namespace

bool LooksLikePicture(const std::uint8_t* data, std::size_t size) {
  return IsBmp(data, size) || IsJpeg(data, size) || IsGif(data, size) || IsPng(data, size);
}

bool PictureHeaderPlausible(const std::uint8_t* d, std::size_t n) {
  if (IsBmp(d, n)) return BmpPlausible(d, n);
  if (IsJpeg(d, n)) return JpegPlausible(d, n);
  if (IsGif(d, n)) return n >= 10 && SizeAllowed(Le16(d + 6), Le16(d + 8));
  return false;
}

HRESULT DecodeStillImage(int fd, const std::uint8_t* head, std::size_t headSize, StillImage* out) {
  if (!PictureHeaderPlausible(head, headSize)) return VFW_E_INVALID_FILE_FORMAT;
  return DecodeInIsolation(fd, picture::DetectPictureType(head, headSize), out);
}

}  // namespace dshow
