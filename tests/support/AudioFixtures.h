// Small audio files made in the tests: 16-bit PCM waves, Ogg Vorbis streams (libvorbisenc) with
// optional tampering of the last page, and a one-note standard MIDI file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A wave of a sine at freq Hz, mono, of the given length.
Bytes MakeWave(int rate, double seconds, double freq = 440.0);

struct OggOptions {
  int channels = 2;
  long rate = 44100;
  int frames = 4410;
  // Rewrites the last page's granule position: the stream's claimed length in samples when the
  // stream has more than one audio page (a few thousand frames or more).
  std::optional<std::int64_t> lastGranule = std::nullopt;
  // Clears the end-of-stream flag of the last page.
  bool dropEndOfStream = false;
};
// Each channel carries its own sine, so interleaving mistakes show.
Bytes MakeOgg(const OggOptions& options);

Bytes MakeMidi();

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);

// Changes the current folder for the object's lifetime.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::filesystem::path& dir);
  ~ScopedCurrentDir();

 private:
  std::filesystem::path previous_;
};
