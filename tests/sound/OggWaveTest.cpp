#include "sound/OggWave.h"

#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstring>

#include "support/AudioFixtures.h"
#include "support/TempDir.h"

namespace {

std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
}
std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// An independent decode through the float interface, rounded and clipped to 16 bits the way a
// 16-bit decode of Vorbis is defined.
std::vector<std::int16_t> ReferenceDecode(const std::filesystem::path& path) {
  OggVorbis_File vf;
  EXPECT_EQ(ov_fopen(path.c_str(), &vf), 0);
  const int channels = ov_info(&vf, -1)->channels;
  std::vector<std::int16_t> out;
  float** pcm = nullptr;
  int section = 0;
  long frames;
  while ((frames = ov_read_float(&vf, &pcm, 1024, &section)) > 0) {
    for (long i = 0; i < frames; ++i)
      for (int c = 0; c < channels; ++c) {
        long v = std::lrintf(pcm[c][i] * 32768.f);
        out.push_back(static_cast<std::int16_t>(std::clamp(v, -32768L, 32767L)));
      }
  }
  ov_clear(&vf);
  return out;
}

std::vector<std::int16_t> Samples(const WaveImage& image) {
  std::vector<std::int16_t> out((image.size - kWaveImageHeaderBytes) / 2);
  std::memcpy(out.data(), image.bytes.get() + kWaveImageHeaderBytes, out.size() * 2);
  return out;
}

struct Format {
  int channels;
  long rate;
  int frames;
};

class OggWaveFormats : public ::testing::TestWithParam<Format> {};

TEST_P(OggWaveFormats, HeaderDescribesTheDecodedSamples) {
  const Format f = GetParam();
  TempDir dir;
  const auto file = dir.path() / "clip.ogg";
  const Bytes ogg = MakeOgg({.channels = f.channels, .rate = f.rate, .frames = f.frames});
  WriteBytes(file, ogg);

  WaveImage image = DecodeOggFileToWave(file.c_str());
  ASSERT_TRUE(image);
  // The same stream read from memory (seeking through the callbacks) gives the same image.
  const WaveImage fromMemory = DecodeOggMemoryToWave(ogg);
  ASSERT_TRUE(fromMemory);
  ASSERT_EQ(fromMemory.size, image.size);
  EXPECT_EQ(std::memcmp(fromMemory.bytes.get(), image.bytes.get(), image.size), 0);
  const std::uint8_t* h = image.bytes.get();
  const std::uint32_t dataBytes = Get32(h + 42);
  EXPECT_EQ(image.size, kWaveImageHeaderBytes + dataBytes);
  EXPECT_EQ(std::memcmp(h, "RIFF", 4), 0);
  EXPECT_EQ(Get32(h + 4), dataBytes + 38);
  EXPECT_EQ(std::memcmp(h + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(Get32(h + 16), 18u);
  EXPECT_EQ(Get16(h + 20), 1u);
  EXPECT_EQ(Get16(h + 22), f.channels);
  EXPECT_EQ(Get32(h + 24), static_cast<std::uint32_t>(f.rate));
  EXPECT_EQ(Get32(h + 28), static_cast<std::uint32_t>(f.rate * f.channels * 2));
  EXPECT_EQ(Get16(h + 32), f.channels * 2);
  EXPECT_EQ(Get16(h + 34), 16u);
  EXPECT_EQ(Get16(h + 36), 0u);
  EXPECT_EQ(std::memcmp(h + 38, "data", 4), 0);
  EXPECT_EQ(dataBytes, static_cast<std::uint32_t>(f.frames * f.channels * 2));
  EXPECT_EQ(Samples(image), ReferenceDecode(file));
  // An honest duration sizes the image once: no growth, at most a rounding of room left over.
  EXPECT_LT(image.capacity - image.size, 16u);
}

INSTANTIATE_TEST_SUITE_P(Streams, OggWaveFormats,
                         ::testing::Values(Format{2, 44100, 8820}, Format{1, 22050, 3000}, Format{6, 8000, 1000}));

// The stream's duration claim may fall short of what it delivers: the image grows and holds
// every sample, whether the claim is short or the first allocation is kept small.
TEST(OggWave, ShortEstimateStillDecodesWhole) {
  TempDir dir;
  const auto shortClaim = dir.path() / "short-claim.ogg";
  WriteBytes(shortClaim, MakeOgg({.frames = 44100, .lastGranule = 2000, .dropEndOfStream = true}));
  const auto plain = dir.path() / "plain.ogg";
  WriteBytes(plain, MakeOgg({.frames = 44100}));

  for (const auto& [file, limits] :
       {std::pair{shortClaim, OggWaveLimits{}}, std::pair{plain, OggWaveLimits{.upfrontBytes = 1000}}}) {
    SCOPED_TRACE(file.filename().string());
    WaveImage image = DecodeOggFileToWave(file.c_str(), limits);
    ASSERT_TRUE(image);
    std::vector<std::int16_t> reference = ReferenceDecode(file);
    EXPECT_GT(reference.size() * 2, 10 * 2000u * 4);  // far more than the short claim
    EXPECT_EQ(Samples(image), reference);
    EXPECT_EQ(Get32(image.bytes.get() + 42), reference.size() * 2);
  }
}

// The largest image bounds both what the stream claims (refused before any decoding) and what it
// delivers beyond its claim (refused once the image would pass it).
TEST(OggWave, StreamsLargerThanTheLargestImageFail) {
  TempDir dir;
  const OggWaveLimits limits{.upfrontBytes = 1000, .maxImageBytes = 100000};
  const auto claimsTooMuch = dir.path() / "claims-too-much.ogg";
  WriteBytes(claimsTooMuch, MakeOgg({.frames = 44100}));  // about 176 kB decoded
  EXPECT_FALSE(DecodeOggFileToWave(claimsTooMuch.c_str(), limits));

  const auto deliversTooMuch = dir.path() / "delivers-too-much.ogg";
  WriteBytes(deliversTooMuch, MakeOgg({.frames = 44100, .lastGranule = 2000, .dropEndOfStream = true}));
  EXPECT_FALSE(DecodeOggFileToWave(deliversTooMuch.c_str(), limits));
  EXPECT_TRUE(DecodeOggFileToWave(deliversTooMuch.c_str(), {.upfrontBytes = 1000, .maxImageBytes = 200000}));
}

TEST(OggWave, BrokenFilesGiveNoImage) {
  TempDir dir;
  const Bytes good = MakeOgg({.frames = 22050});
  Bytes flipped = good;
  for (std::size_t i = good.size() / 2; i < good.size() / 2 + 64; ++i) flipped[i] ^= 0xa5;
  Bytes random(8192);
  std::uint32_t state = 12345;
  for (auto& b : random) b = static_cast<std::uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
  const std::pair<const char*, Bytes> cases[] = {
      {"empty.ogg", {}},
      {"random.ogg", random},
      {"headers-cut.ogg", Bytes(good.begin(), good.begin() + 200)},
      {"middle-corrupt.ogg", flipped},
      {"wave.ogg", MakeWave(8000, 0.1)},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    WriteBytes(dir.path() / name, bytes);
    EXPECT_FALSE(DecodeOggFileToWave((dir.path() / name).c_str()));
    EXPECT_FALSE(DecodeOggMemoryToWave(bytes));
  }
  EXPECT_FALSE(DecodeOggFileToWave((dir.path() / "missing.ogg").c_str()));
  EXPECT_FALSE(DecodeOggFileToWave(""));
}

}  // namespace
