// The chunks of the chunked picture files: png (length, type, data, CRC, from byte 8) and webp
// (a RIFF file: type, little-endian length, data padded to an even length, from byte 12).
// Lengths are checked against the file; CRCs are left to the decoders. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace picture {

struct Chunk {
  const std::uint8_t* data = nullptr;  // null when not found
  std::size_t size = 0;
};

// The first chunk of the type, or none when the walk meets the file's end, a length beyond it,
// or (png) the image end chunk first.
Chunk FindPngChunk(const std::uint8_t* data, std::size_t size, const char type[4]);
Chunk FindWebpChunk(const std::uint8_t* data, std::size_t size, const char type[4]);

}  // namespace picture
