// What passes between the program and its isolated picture decoder (orbelle-picture-decoder).
//
// The program starts the decoder as `orbelle-picture-decoder TYPE` (TYPE is "bmp", "jpeg" or
// "gif", as the program detected it from the content) with the picture file open for reading
// on descriptor 0 and the answer going to descriptor 1 (a memfd, or a pipe where shared memory
// is unavailable). Descriptor 2 is the program's stderr; no other descriptor is open.
//
// The answer is one DecoderAnswer and then pixelBytes bytes of packed BGR, rows top first, each
// row BgrStride(width) bytes. The decoder exits 0 after a complete answer. The program trusts
// none of it: every field is checked against the limits and the bytes actually received.
#pragma once

#include <cstdint>

#include "platform/picture/PictureDecode.h"

namespace picture {

inline constexpr char kDecoderFileName[] = "orbelle-picture-decoder";
inline constexpr char kAnswerMagic[8] = {'O', 'R', 'B', 'P', 'I', 'C', '1', '\0'};

enum AnswerFlags : std::uint32_t {
  kAnswerSandboxed = 1,  // the seccomp filter was in place while the untrusted bytes were decoded
};

struct DecoderAnswer {
  char magic[8];
  std::uint32_t flags;
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t stride;
  std::uint64_t pixelBytes;
  std::uint8_t reserved[32];
};
static_assert(sizeof(DecoderAnswer) == 64, "the answer header is 64 bytes, so the pixels stay aligned");

// Hard limits the program puts on the decoder process. The largest picture allowed (8192 x 8192)
// takes about 1 s of CPU here, so a decoder that loops is killed by its CPU limit within
// 4 s; the wall clock only ends one that waits without computing, and leaves room for a slow,
// busy machine.
inline constexpr std::uint64_t kDecoderAddressSpace = 1ULL << 30;
inline constexpr unsigned kDecoderCpuSeconds = 4;
inline constexpr unsigned kDecoderWallMilliseconds = 10000;
// The largest picture file the program hands to the decoder.
inline constexpr std::uint64_t kDecoderMaxInput = 256ULL << 20;

// The largest answer a decoder within the limits can give.
inline std::uint64_t MaxAnswerBytes(const PictureLimits& limits) {
  const std::uint64_t pixels = static_cast<std::uint64_t>(limits.maxPixels);
  return sizeof(DecoderAnswer) + pixels * 3 + static_cast<std::uint64_t>(limits.maxSide) * 3;
}

}  // namespace picture
