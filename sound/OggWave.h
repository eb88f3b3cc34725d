// Decoding a whole Ogg Vorbis file into an in-memory RIFF wave image: a 46-byte header (PCM,
// 16-bit, the stream's channels and rate, an 18-byte format chunk) followed by the samples as
// libvorbisfile delivers them, 16-bit signed little-endian, channels interleaved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

inline constexpr std::size_t kWaveImageHeaderBytes = 46;

// How much memory a decode may take.
struct OggWaveLimits {
  // The most that the stream's own duration claim may allocate before any sample is decoded.
  // Beyond it the image grows only as decoded samples arrive, so a small file that claims hours of
  // audio costs no more than this. 32 MiB holds over three minutes of 44.1 kHz stereo: every sound
  // effect fits at once.
  std::size_t upfrontBytes = std::size_t{32} << 20;
  // The largest image made (header included). A stream that claims or delivers more fails. 256 MiB
  // is about 25 minutes of 44.1 kHz stereo, far beyond a sound effect, and well inside the 32-bit
  // sizes of the wave format.
  std::size_t maxImageBytes = std::size_t{256} << 20;
};

struct WaveImage {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;      // header + data bytes delivered
  std::size_t capacity = 0;  // bytes allocated (room may be left behind the data)
  explicit operator bool() const { return bytes != nullptr; }
};

// Decodes the file at path (UTF-8, the system's narrow code page; Windows form or native). An empty
// image when the file cannot be opened, is not Ogg Vorbis, fails to decode anywhere, or exceeds the
// limits.
WaveImage DecodeOggFileToWave(const char* path, const OggWaveLimits& limits = {});
// The same for a whole file already in memory.
WaveImage DecodeOggMemoryToWave(std::span<const std::uint8_t> bytes, const OggWaveLimits& limits = {});
