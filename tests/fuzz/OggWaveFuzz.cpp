// The Ogg-to-wave decoder on any bytes: an image, when there is one, has a header that describes
// its samples, stays within the limits, and does not depend on how the memory for it was planned
// (sized from the stream's duration claim or grown as samples arrive).
#include "sound/OggWave.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
}
std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  const OggWaveLimits planned{.upfrontBytes = 256 << 10, .maxImageBytes = 2 << 20};
  const WaveImage image = DecodeOggMemoryToWave(file, planned);
  if (!image) return 0;
  FUZZ_CHECK(image.size >= kWaveImageHeaderBytes && image.size <= image.capacity);
  FUZZ_CHECK(image.capacity <= planned.maxImageBytes);
  const std::uint8_t* h = image.bytes.get();
  const std::uint32_t dataBytes = Get32(h + 42);
  const unsigned channels = Get16(h + 22);
  FUZZ_CHECK(std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WAVEfmt ", 8) == 0);
  FUZZ_CHECK(std::memcmp(h + 38, "data", 4) == 0);
  FUZZ_CHECK(image.size == kWaveImageHeaderBytes + dataBytes && Get32(h + 4) == dataBytes + 38);
  FUZZ_CHECK(Get16(h + 20) == 1 && Get16(h + 34) == 16 && channels >= 1);
  FUZZ_CHECK(Get16(h + 32) == channels * 2 && Get32(h + 28) == Get32(h + 24) * channels * 2);
  FUZZ_CHECK(dataBytes % (channels * 2) == 0);

  const WaveImage grown = DecodeOggMemoryToWave(file, {.upfrontBytes = 0, .maxImageBytes = planned.maxImageBytes});
  FUZZ_CHECK(grown && grown.size == image.size);
  FUZZ_CHECK(std::memcmp(grown.bytes.get(), image.bytes.get(), image.size) == 0);
  return 0;
}
