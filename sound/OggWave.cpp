#include "sound/OggWave.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/win32.h"

namespace {

// Paths reach the decoder in the narrow code page; the file system is reached through the wide
// form, which also turns Windows-form separators into native ones.
FILE* OpenNarrowPath(const char* path) {
  if (!path || !*path) return nullptr;
  int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (length <= 0) return nullptr;
  std::u16string wide(static_cast<std::size_t>(length), u'\0');
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), length) != length) return nullptr;
  return _wfopen(wide.c_str(), u"rb");
}

// Bytes in memory read through libvorbisfile's callbacks.
struct MemoryStream {
  std::span<const std::uint8_t> bytes;
  std::size_t at = 0;

  static std::size_t Read(void* to, std::size_t size, std::size_t count, void* self) {
    auto* s = static_cast<MemoryStream*>(self);
    if (size == 0) return 0;
    const std::size_t n = std::min(count, (s->bytes.size() - s->at) / size);
    std::memcpy(to, s->bytes.data() + s->at, n * size);
    s->at += n * size;
    return n;
  }
  static int Seek(void* self, ogg_int64_t offset, int whence) {
    auto* s = static_cast<MemoryStream*>(self);
    const auto size = static_cast<ogg_int64_t>(s->bytes.size());
    const ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<ogg_int64_t>(s->at) : size;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
    if (offset < -base || offset > size - base) return -1;
    s->at = static_cast<std::size_t>(base + offset);
    return 0;
  }
  static long Tell(void* self) { return static_cast<long>(static_cast<MemoryStream*>(self)->at); }
};

class VorbisFile {
 public:
  // Takes the file: closed here when the stream cannot be opened, by ov_clear otherwise.
  explicit VorbisFile(FILE* file) {
    if (!file) return;
    if (ov_open(file, &vf_, nullptr, 0) < 0) {
      std::fclose(file);
      return;
    }
    open_ = true;
  }
  // The stream must outlive this object.
  explicit VorbisFile(MemoryStream* stream) {
    const ov_callbacks callbacks{MemoryStream::Read, MemoryStream::Seek, nullptr, MemoryStream::Tell};
    open_ = ov_open_callbacks(stream, &vf_, nullptr, 0, callbacks) >= 0;
  }
  ~VorbisFile() {
    if (open_) ov_clear(&vf_);
  }
  VorbisFile(const VorbisFile&) = delete;
  VorbisFile& operator=(const VorbisFile&) = delete;
  bool IsOpen() const { return open_; }
  OggVorbis_File* get() { return &vf_; }

 private:
  OggVorbis_File vf_{};
  bool open_ = false;
};

void Put16(std::uint8_t* p, unsigned v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v & 0xffff);
  Put16(p + 2, v >> 16);
}

void WriteHeader(std::uint8_t* h, unsigned channels, std::uint32_t rate, std::uint32_t dataBytes) {
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, dataBytes + 38);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 18);
  Put16(h + 20, 1);
  Put16(h + 22, channels);
  Put32(h + 24, rate);
  Put32(h + 28, rate * channels * 2);
  Put16(h + 32, channels * 2);
  Put16(h + 34, 16);
  Put16(h + 36, 0);
  std::memcpy(h + 38, "data", 4);
  Put32(h + 42, dataBytes);
}

bool Grow(WaveImage& image, std::size_t needed, std::size_t maxBytes) {
  if (needed > maxBytes) return false;
  std::size_t capacity = std::min(std::max(image.capacity * 2, needed), maxBytes);
  auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
  std::memcpy(bytes.get(), image.bytes.get(), image.size);
  image.bytes = std::move(bytes);
  image.capacity = capacity;
  return true;
}

WaveImage Decode(VorbisFile& vf, const OggWaveLimits& limits) {
  if (!vf.IsOpen()) return {};
  const vorbis_info* info = ov_info(vf.get(), -1);
  if (!info || info->channels <= 0 || info->rate <= 0) return {};
  const auto channels = static_cast<unsigned>(info->channels);
  const auto rate = static_cast<std::uint64_t>(info->rate);
  const std::uint64_t frameBytes = channels * 2u;
  // The header holds bytes per second in 32 bits.
  if (rate * frameBytes > UINT32_MAX) return {};

  // The stream's claimed duration sizes the first allocation. It may be wrong either way: too
  // small on valid files (the image then grows), absurdly large on hostile ones (refused when it
  // exceeds the largest image, otherwise capped to the upfront bound).
  const std::size_t maxData = limits.maxImageBytes - std::min(limits.maxImageBytes, kWaveImageHeaderBytes);
  double estimate = std::ceil(ov_time_total(vf.get(), -1) * static_cast<double>(rate * channels) * 2.0);
  if (!(estimate >= 0.0)) estimate = 0.0;  // no duration known (or NaN): grow as samples arrive
  if (estimate > static_cast<double>(maxData)) return {};
  const std::size_t initial = std::min(static_cast<std::size_t>(estimate), limits.upfrontBytes);

  WaveImage image;
  image.capacity = kWaveImageHeaderBytes + std::min(initial, maxData);
  image.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(image.capacity);
  image.size = kWaveImageHeaderBytes;

  // When less than one sample frame of room is left, the next read goes to a scratch buffer: its
  // end-of-stream answer then costs no growth, and anything it delivers is appended after growing.
  std::uint8_t scratch[16384];
  int section = 0;
  for (;;) {
    const std::size_t room = image.capacity - image.size;
    long got;
    if (room >= frameBytes) {
      got = ov_read(vf.get(), reinterpret_cast<char*>(image.bytes.get() + image.size),
                    static_cast<int>(std::min<std::size_t>(room, INT_MAX)), 0, 2, 1, &section);
      if (got < 0) return {};
      if (got == 0) break;
    } else {
      got = ov_read(vf.get(), reinterpret_cast<char*>(scratch), sizeof scratch, 0, 2, 1, &section);
      if (got < 0) return {};
      if (got == 0) break;
      if (!Grow(image, image.size + static_cast<std::size_t>(got), kWaveImageHeaderBytes + maxData)) return {};
      std::memcpy(image.bytes.get() + image.size, scratch, static_cast<std::size_t>(got));
    }
    image.size += static_cast<std::size_t>(got);
  }
  WriteHeader(image.bytes.get(), channels, static_cast<std::uint32_t>(rate),
              static_cast<std::uint32_t>(image.size - kWaveImageHeaderBytes));
  return image;
}

}  // namespace

WaveImage DecodeOggFileToWave(const char* path, const OggWaveLimits& limits) {
  VorbisFile vf(OpenNarrowPath(path));
  return Decode(vf, limits);
}

WaveImage DecodeOggMemoryToWave(std::span<const std::uint8_t> bytes, const OggWaveLimits& limits) {
  MemoryStream stream{bytes};
  VorbisFile vf(&stream);
  return Decode(vf, limits);
}
