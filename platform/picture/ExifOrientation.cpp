#include "platform/picture/ExifOrientation.h"

#include <cstring>

#include "platform/picture/PictureChunks.h"

namespace picture {

int ExifOrientation(const std::uint8_t* d, std::size_t n) {
  if (n < 8) return 1;
  bool little;
  if (d[0] == 'I' && d[1] == 'I' && d[2] == 42 && d[3] == 0)
    little = true;
  else if (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && d[3] == 42)
    little = false;
  else
    return 1;
  const auto u16 = [&](std::size_t at) -> std::uint32_t {
    return little ? (d[at] | d[at + 1] << 8) : (d[at] << 8 | d[at + 1]);
  };
  const auto u32 = [&](std::size_t at) -> std::uint64_t {
    return little ? (u16(at) | static_cast<std::uint64_t>(u16(at + 2)) << 16)
                  : (static_cast<std::uint64_t>(u16(at)) << 16 | u16(at + 2));
  };
  const std::uint64_t ifd = u32(4);
  if (ifd + 2 > n) return 1;
  const std::uint32_t entries = u16(static_cast<std::size_t>(ifd));
  for (std::uint32_t e = 0; e < entries; ++e) {
    const std::uint64_t at = ifd + 2 + 12ULL * e;
    if (at + 12 > n) return 1;
    const std::size_t p = static_cast<std::size_t>(at);
    constexpr std::uint32_t kOrientation = 0x0112, kShort = 3;
    if (u16(p) != kOrientation) continue;
    if (u16(p + 2) != kShort || u32(p + 4) != 1) return 1;
    const std::uint32_t value = u16(p + 8);  // a short sits at the start of the value field
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

std::vector<std::uint8_t> PngExif(const std::uint8_t* data, std::size_t size) {
  const Chunk chunk = FindPngChunk(data, size, "eXIf");
  return {chunk.data, chunk.data + chunk.size};
}

std::vector<std::uint8_t> WebpExif(const std::uint8_t* data, std::size_t size) {
  Chunk chunk = FindWebpChunk(data, size, "EXIF");
  if (chunk.size >= 6 && std::memcmp(chunk.data, "Exif\0\0", 6) == 0) {
    chunk.data += 6;
    chunk.size -= 6;
  }
  return {chunk.data, chunk.data + chunk.size};
}

}  // namespace picture
