// The picture header check on any bytes: never reads outside the file, and what it accepts is
// plausible: the type matches the file's signature, the size is within the limits, and no more
// pixels are claimed than the file's bytes can encode in the most compact coding of that type.
#include "platform/d3dx9/ImageHeader.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

bool Signature(std::span<const std::uint8_t> file, const char* magic, std::size_t n) {
  return file.size() >= n && std::memcmp(file.data(), magic, n) == 0;
}

// The most pixels one byte of each coding can stand for (PNG: 1032:1 deflate of 1-bit rows).
std::uint64_t MostPixelsPerByte(D3DXIMAGE_FILEFORMAT format) {
  switch (format) {
    case D3DXIFF_PNG:
      return 1032 * 8;
    case D3DXIFF_JPG:
      return 8 * 64;
    default:
      return 4096;  // GIF's 12-bit codes; BMP's bits and runs stay far below
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first two bytes choose the limits (small ones reach the size refusals), the rest is the
  // file, with a tight copy so that reading past its end is seen.
  if (size < 2) return 0;
  const UINT limit = data[0] < 0x80 ? 1u + data[0] * 64u : 16384u;
  const UINT limitHeight = data[1] < 0x80 ? 1u + data[1] * 64u : 16384u;
  const std::span<const std::uint8_t> file(data + 2, size - 2);

  d3dx::ImageHeader header;
  const HRESULT hr = d3dx::ReadImageHeader(file, limit, limitHeight, &header);
  FUZZ_CHECK(hr == S_OK || hr == D3DXERR_INVALIDDATA);
  if (hr != S_OK) return 0;
  FUZZ_CHECK(header.width >= 1 && header.width <= limit);
  FUZZ_CHECK(header.height >= 1 && header.height <= limitHeight);
  FUZZ_CHECK(header.pixelFormat != D3DFMT_UNKNOWN);
  switch (header.fileFormat) {
    case D3DXIFF_BMP:
      FUZZ_CHECK(Signature(file, "BM", 2));
      break;
    case D3DXIFF_PNG:
      FUZZ_CHECK(Signature(file, "\x89PNG\r\n\x1a\n", 8));
      break;
    case D3DXIFF_JPG:
      FUZZ_CHECK(Signature(file, "\xff\xd8", 2));
      break;
    case D3DXIFF_GIF:
      FUZZ_CHECK(Signature(file, "GIF87a", 6) || Signature(file, "GIF89a", 6));
      break;
    default:
      FUZZ_CHECK(!"a type the check does not recognise");
  }
  const std::uint64_t pixels = std::uint64_t{header.width} * header.height;
  FUZZ_CHECK(pixels <= file.size() * MostPixelsPerByte(header.fileFormat));

  // The same bytes give the same answer (no hidden state).
  d3dx::ImageHeader again;
  FUZZ_CHECK(d3dx::ReadImageHeader(file, limit, limitHeight, &again) == S_OK);
  FUZZ_CHECK(again.width == header.width && again.height == header.height && again.fileFormat == header.fileFormat);
  return 0;
}
