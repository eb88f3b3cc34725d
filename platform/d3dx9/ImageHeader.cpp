#include "platform/d3dx9/ImageHeader.h"

#include <algorithm>
#include <cstring>

namespace d3dx {
namespace {

// Most pixels one byte of each coding can produce; a file whose header claims more than its
// size allows is rejected. Deflate expands at most 1032:1 (PNG counts filtered bytes, not
// pixels). A 12-bit LZW code stands for at most 4096 pixels. A baseline or progressive JPEG
// spends at least one bit per 8 x 8 block of its first component. A BMP RLE pair paints at
// most 255 pixels; the codes that skip pixels are not counted, which rejects only files made
// mostly of holes.
constexpr std::uint64_t kDeflateRatio = 1032;
constexpr std::uint64_t kLzwPixelsPerByte = 4096;
constexpr std::uint64_t kJpegPixelsPerByte = 8 * 64;
constexpr std::uint64_t kRlePixelsPerByte = 128;

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= bytes_.size() && count <= bytes_.size() - offset;
  }
  std::uint8_t U8(std::size_t at) const { return bytes_[at]; }
  std::uint16_t Le16(std::size_t at) const { return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8)); }
  std::uint16_t Be16(std::size_t at) const { return static_cast<std::uint16_t>((bytes_[at] << 8) | bytes_[at + 1]); }
  std::uint32_t Le32(std::size_t at) const { return Le16(at) | (static_cast<std::uint32_t>(Le16(at + 2)) << 16); }
  std::uint32_t Be32(std::size_t at) const { return (static_cast<std::uint32_t>(Be16(at)) << 16) | Be16(at + 2); }
  std::size_t size() const { return bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
};

bool StartsWith(std::span<const std::uint8_t> file, const char* magic, std::size_t n) {
  return file.size() >= n && std::memcmp(file.data(), magic, n) == 0;
}

bool ReadBmp(const Reader& r, ImageHeader* out) {
  if (!r.Has(0, 26)) return false;
  const std::uint32_t dataOffset = r.Le32(10);
  const std::uint32_t infoSize = r.Le32(14);
  std::int64_t width = 0, height = 0;
  std::uint32_t bpp = 0, compression = 0;
  if (infoSize == 12) {
    width = r.Le16(18);
    height = r.Le16(20);
    bpp = r.Le16(24);
  } else if (infoSize >= 40 && r.Has(0, 14 + 40)) {
    width = static_cast<std::int32_t>(r.Le32(18));
    height = static_cast<std::int32_t>(r.Le32(22));
    bpp = r.Le16(28);
    compression = r.Le32(30);
  } else {
    return false;
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || dataOffset < 14 + infoSize || dataOffset > r.size()) return false;
  const std::uint64_t dataBytes = r.size() - dataOffset;
  const auto pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  switch (compression) {
    case 0:  // uncompressed
    case 3:  // bit fields
      if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
      if (compression == 3 && bpp != 16 && bpp != 32) return false;
      if ((static_cast<std::uint64_t>(width) * bpp + 31) / 32 * 4 * static_cast<std::uint64_t>(height) > dataBytes)
        return false;
      break;
    case 1:  // RLE8
    case 2:  // RLE4
      if (topDown || bpp != (compression == 1 ? 8u : 4u)) return false;
      if (pixels > dataBytes * kRlePixelsPerByte) return false;
      break;
    default:
      return false;
  }
  out->fileFormat = D3DXIFF_BMP;
  out->width = static_cast<UINT>(width);
  out->height = static_cast<UINT>(height);
  out->pixelFormat = bpp <= 8 ? D3DFMT_P8 : bpp == 16 ? D3DFMT_X1R5G5B5 : bpp == 24 ? D3DFMT_R8G8B8 : D3DFMT_X8R8G8B8;
  return true;
}

bool ReadPng(const Reader& r, ImageHeader* out) {
  // Signature, then the IHDR chunk: length 13, type, width, height, depth, colour type.
  if (!r.Has(0, 8 + 8 + 13) || r.Be32(8) != 13 || r.Be32(12) != 0x49484452u) return false;
  const std::uint32_t width = r.Be32(16), height = r.Be32(20);
  const std::uint8_t depth = r.U8(24), colorType = r.U8(25);
  if (width == 0 || height == 0 || width > 0x7fffffffu || height > 0x7fffffffu) return false;
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) return false;
  std::uint64_t channels = 0;
  switch (colorType) {
    case 0:
      channels = 1;
      out->pixelFormat = D3DFMT_L8;
      break;
    case 2:
      channels = 3;
      out->pixelFormat = D3DFMT_R8G8B8;
      break;
    case 3:
      channels = 1;
      out->pixelFormat = D3DFMT_P8;
      break;
    case 4:
      channels = 2;
      out->pixelFormat = D3DFMT_A8L8;
      break;
    case 6:
      channels = 4;
      out->pixelFormat = D3DFMT_A8R8G8B8;
      break;
    default:
      return false;
  }
  const std::uint64_t rowBytes = 1 + (width * channels * depth + 7) / 8;
  if (rowBytes * height > static_cast<std::uint64_t>(r.size()) * kDeflateRatio) return false;
  out->fileFormat = D3DXIFF_PNG;
  out->width = width;
  out->height = height;
  return true;
}

bool IsJpegFrameMarker(std::uint8_t m) {
  return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// Walks the markers to the end-of-image marker, reading the frame header on the way, so that a
// file cut short (which the decoder would fill with grey) is refused.
bool ReadJpeg(const Reader& r, ImageHeader* out) {
  std::size_t at = 2;
  bool frame = false, scan = false;
  while (true) {
    if (!r.Has(at, 2) || r.U8(at) != 0xFF) return false;
    while (r.Has(at + 1, 1) && r.U8(at + 1) == 0xFF) ++at;  // fill bytes
    if (!r.Has(at, 2)) return false;
    const std::uint8_t marker = r.U8(at + 1);
    if (marker == 0xD9) break;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    if (!r.Has(at + 2, 2)) return false;
    const std::size_t length = r.Be16(at + 2);
    if (length < 2 || !r.Has(at + 2, length)) return false;
    if (IsJpegFrameMarker(marker)) {
      if (length < 8) return false;
      out->height = r.Be16(at + 5);
      out->width = r.Be16(at + 7);
      frame = true;
    }
    at += 2 + length;
    if (marker == 0xDA) {
      if (!frame) return false;
      scan = true;
      // Entropy-coded data: a marker is an 0xFF not followed by a stuffed 0 or a restart.
      while (true) {
        if (!r.Has(at, 2)) return false;
        if (r.U8(at) == 0xFF && r.U8(at + 1) != 0 && r.U8(at + 1) != 0xFF &&
            !(r.U8(at + 1) >= 0xD0 && r.U8(at + 1) <= 0xD7))
          break;
        ++at;
      }
    }
  }
  if (!frame || !scan || out->width == 0 || out->height == 0) return false;
  if (static_cast<std::uint64_t>(out->width) * out->height > r.size() * kJpegPixelsPerByte) return false;
  out->fileFormat = D3DXIFF_JPG;
  out->pixelFormat = D3DFMT_X8R8G8B8;
  return true;
}

// Skips GIF data sub-blocks from `at`; false when the file ends before the terminating 0.
bool SkipGifSubBlocks(const Reader& r, std::size_t* at) {
  while (true) {
    if (!r.Has(*at, 1)) return false;
    const std::size_t size = r.U8(*at);
    *at += 1;
    if (size == 0) return true;
    if (!r.Has(*at, size)) return false;
    *at += size;
  }
}

bool ReadGif(const Reader& r, ImageHeader* out) {
  if (!r.Has(0, 13)) return false;
  const std::uint32_t screenW = r.Le16(6), screenH = r.Le16(8);
  std::size_t at = 13;
  if (r.U8(10) & 0x80) at += 3u << ((r.U8(10) & 7) + 1);
  while (true) {
    if (!r.Has(at, 1)) return false;
    const std::uint8_t block = r.U8(at);
    if (block == 0x21) {  // extension: label, then sub-blocks
      at += 2;
      if (!SkipGifSubBlocks(r, &at)) return false;
    } else if (block == 0x2C) {  // the first image
      if (!r.Has(at, 10)) return false;
      const std::uint32_t w = r.Le16(at + 5), h = r.Le16(at + 7);
      const std::uint8_t flags = r.U8(at + 9);
      at += 10;
      if (flags & 0x80) at += 3u << ((flags & 7) + 1);
      at += 1;  // LZW minimum code size
      if (!SkipGifSubBlocks(r, &at)) return false;
      if (w == 0 || h == 0) return false;
      // The decoder may allocate for the logical screen as well as for the image.
      const std::uint64_t most =
          std::max<std::uint64_t>(static_cast<std::uint64_t>(w) * h, static_cast<std::uint64_t>(screenW) * screenH);
      if (most > r.size() * kLzwPixelsPerByte) return false;
      out->fileFormat = D3DXIFF_GIF;
      out->width = w;
      out->height = h;
      out->pixelFormat = D3DFMT_P8;
      return true;
    } else {
      return false;  // the trailer or garbage before any image
    }
  }
}

}  // namespace

HRESULT ReadImageHeader(std::span<const std::uint8_t> file, UINT maxWidth, UINT maxHeight, ImageHeader* out) {
  const Reader reader(file);
  ImageHeader header;
  bool ok = false;
  if (StartsWith(file, "BM", 2)) {
    ok = ReadBmp(reader, &header);
  } else if (StartsWith(file, "\x89PNG\r\n\x1a\n", 8)) {
    ok = ReadPng(reader, &header);
  } else if (StartsWith(file, "\xFF\xD8", 2)) {
    ok = ReadJpeg(reader, &header);
  } else if (StartsWith(file, "GIF87a", 6) || StartsWith(file, "GIF89a", 6)) {
    ok = ReadGif(reader, &header);
  }
  if (!ok || header.width > maxWidth || header.height > maxHeight) return D3DXERR_INVALIDDATA;
  *out = header;
  return S_OK;
}

}  // namespace d3dx
