#include "platform/picture/PictureChunks.h"

#include <cstring>

namespace picture {

Chunk FindPngChunk(const std::uint8_t* d, std::size_t n, const char type[4]) {
  std::size_t at = 8;
  while (at + 12 <= n) {
    const std::uint64_t length = static_cast<std::uint64_t>(d[at]) << 24 | d[at + 1] << 16 | d[at + 2] << 8 | d[at + 3];
    if (length > n - at - 12) break;
    const std::uint8_t* kind = d + at + 4;
    if (std::memcmp(kind, type, 4) == 0) return {d + at + 8, static_cast<std::size_t>(length)};
    if (std::memcmp(kind, "IEND", 4) == 0) break;
    at += 12 + static_cast<std::size_t>(length);
  }
  return {};
}

Chunk FindWebpChunk(const std::uint8_t* d, std::size_t n, const char type[4]) {
  if (n < 12 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WEBP", 4) != 0) return {};
  std::size_t at = 12;
  while (at + 8 <= n) {
    const std::uint64_t length =
        d[at + 4] | d[at + 5] << 8 | d[at + 6] << 16 | static_cast<std::uint64_t>(d[at + 7]) << 24;
    if (length > n - at - 8) break;
    if (std::memcmp(d + at, type, 4) == 0) return {d + at + 8, static_cast<std::size_t>(length)};
    at += 8 + static_cast<std::size_t>(length) + (length & 1);
  }
  return {};
}

}  // namespace picture
