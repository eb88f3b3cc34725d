#include "platform/picture/ApngFrames.h"

#include <zlib.h>

#include <cstring>

namespace picture {
namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}
int Be16(const std::uint8_t* p) {
  return p[0] << 8 | p[1];
}

bool Is(const std::uint8_t* chunk, const char* type) {
  return std::memcmp(chunk + 4, type, 4) == 0;
}

// Chunks copied into each frame's file: those that say how the data is to be read and coloured.
bool Shared(const std::uint8_t* chunk) {
  for (const char* type : {"PLTE", "tRNS", "gAMA", "cHRM", "sRGB", "iCCP", "sBIT"})
    if (Is(chunk, type)) return true;
  return false;
}

void PutChunk(std::vector<std::uint8_t>* out, const char* type, const std::uint8_t* body, std::size_t length) {
  const std::size_t at = out->size();
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<std::uint8_t>(length >> shift));
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), body, body + length);
  const uLong crc = crc32(0, out->data() + at + 4, static_cast<uInt>(length + 4));
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<std::uint8_t>(crc >> shift));
}

}  // namespace

bool WalkApng(const std::uint8_t* d, std::size_t n, ApngLayout* out) {
  *out = ApngLayout{};
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n < 33 || std::memcmp(d, kSignature, 8) != 0 || !Is(d + 8, "IHDR") || Be32(d + 8) != 13) return false;
  out->width = static_cast<int>(Be32(d + 16) & 0x7FFFFFFF);
  out->height = static_cast<int>(Be32(d + 20) & 0x7FFFFFFF);
  bool animated = false;
  ApngFrame* current = nullptr;
  std::size_t at = 8;
  while (at + 12 <= n) {
    const std::uint64_t length = Be32(d + at);
    if (length > n - at - 12) break;
    const std::uint8_t* chunk = d + at;
    const std::uint8_t* body = chunk + 8;
    if (Is(chunk, "IEND")) break;
    if (Is(chunk, "acTL")) animated = true;
    if (Is(chunk, "fcTL") && length >= 26) {
      ApngFrame frame;
      frame.width = static_cast<int>(Be32(body + 4) & 0x7FFFFFFF);
      frame.height = static_cast<int>(Be32(body + 8) & 0x7FFFFFFF);
      frame.left = static_cast<int>(Be32(body + 12) & 0x7FFFFFFF);
      frame.top = static_cast<int>(Be32(body + 16) & 0x7FFFFFFF);
      frame.delayNum = Be16(body + 20);
      frame.delayDen = Be16(body + 22);
      frame.dispose = body[24];
      frame.blend = body[25];
      frame.control = at;
      out->frames.push_back(frame);
      current = &out->frames.back();
    } else if ((Is(chunk, "IDAT") || (Is(chunk, "fdAT") && length >= 4)) && current) {
      // IDAT belongs to a frame only when an fcTL came before it; data of one frame is one run
      // of chunks of a kind.
      if (!current->dataBegin) current->dataBegin = at;
      current->dataEnd = at + 12 + static_cast<std::size_t>(length);
    }
    at += 12 + static_cast<std::size_t>(length);
  }
  // Frames without data (a cut file) are left out.
  while (!out->frames.empty() && !out->frames.back().dataBegin) out->frames.pop_back();
  for (const ApngFrame& frame : out->frames)
    if (!frame.dataBegin) return false;
  return animated && !out->frames.empty();
}

std::vector<std::uint8_t> ApngFrameFile(const std::uint8_t* d, std::size_t n, const ApngFrame& frame) {
  if (n < 33 || frame.dataEnd > n || frame.dataBegin < 33 || frame.dataBegin >= frame.dataEnd) return {};
  std::vector<std::uint8_t> out(d, d + 8);
  std::uint8_t header[13];
  std::memcpy(header, d + 16, 13);
  for (int i = 0; i < 4; ++i) {
    header[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(frame.width) >> (24 - 8 * i));
    header[4 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(frame.height) >> (24 - 8 * i));
  }
  PutChunk(&out, "IHDR", header, 13);
  // The shared chunks before the first image data of the file.
  for (std::size_t at = 33; at + 12 <= n;) {
    const std::uint64_t length = Be32(d + at);
    if (length > n - at - 12 || Is(d + at, "IDAT") || Is(d + at, "fdAT")) break;
    if (Shared(d + at)) out.insert(out.end(), d + at, d + at + 12 + length);
    at += 12 + static_cast<std::size_t>(length);
  }
  for (std::size_t at = frame.dataBegin; at + 12 <= frame.dataEnd;) {
    const std::size_t length = Be32(d + at);
    if (length > frame.dataEnd - at - 12) return {};
    if (Is(d + at, "IDAT"))
      PutChunk(&out, "IDAT", d + at + 8, length);
    else if (Is(d + at, "fdAT") && length >= 4)
      PutChunk(&out, "IDAT", d + at + 12, length - 4);  // after the sequence number
    at += 12 + length;
  }
  PutChunk(&out, "IEND", nullptr, 0);
  return out;
}

}  // namespace picture
