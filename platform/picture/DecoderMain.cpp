// orbelle-picture-decoder: decodes one untrusted picture in a process of its own. See
// DecoderWire.h for how it is started and what it answers. The program that starts it puts the
// process limits in place; this side loads the one decoder module it needs, shuts itself in
// with a seccomp filter, and only then looks at the picture's bytes.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/picture/DecoderSandbox.h"
#include "platform/picture/DecoderWire.h"
#include "platform/picture/PictureDecode.h"

#if defined(__SANITIZE_ADDRESS__)
// The leak check at exit runs a tracer thread, which the seccomp filter refuses.
extern "C" int __lsan_is_turned_off() {
  return 1;
}
#endif

namespace {

using namespace picture;

bool ReadAll(int fd, std::vector<std::uint8_t>* out) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) > kDecoderMaxInput)
    return false;
  out->resize(static_cast<std::size_t>(info.st_size));
  std::size_t got = 0;
  while (got < out->size()) {
    const ssize_t n = pread(fd, out->data() + got, out->size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Under the filter: tries what a subverted decoder would want (open a file, a socket) and
// exits 0 only when both are refused. Lets the tests see that the filter really holds.
int SandboxProbe() {
  std::string error;
  if (!InstallDecoderSandbox(&error)) {
    std::fprintf(stderr, "orbelle-picture-decoder: %s\n", error.c_str());
    return 2;
  }
  const bool opened = open("/", O_RDONLY) >= 0;
  const bool socketed = socket(AF_UNIX, SOCK_STREAM, 0) >= 0;
  return opened || socketed ? 3 : 0;
}

// Rows go to the answer as they are converted, a batch at a time, so the picture exists in
// this process only once (in the decoder's own buffer).
class Answer final : public PictureSink {
 public:
  explicit Answer(DecoderAnswer header) : header_(header) {}
  bool Begin(int width, int height) override {
    header_.width = static_cast<std::uint32_t>(width);
    header_.height = static_cast<std::uint32_t>(height);
    header_.stride = static_cast<std::uint32_t>(BgrStride(width));
    header_.pixelBytes = static_cast<std::uint64_t>(header_.stride) * header_.height;
    batch_.reserve(kBatch + header_.stride);
    return WriteAll(1, &header_, sizeof(header_));
  }
  bool Row(const std::uint8_t* bgr) override {
    batch_.insert(batch_.end(), bgr, bgr + header_.stride);
    if (batch_.size() < kBatch) return true;
    return Flush();
  }
  bool Flush() {
    const bool ok = WriteAll(1, batch_.data(), batch_.size());
    batch_.clear();
    return ok;
  }

 private:
  static constexpr std::size_t kBatch = 256 * 1024;
  DecoderAnswer header_;
  std::vector<std::uint8_t> batch_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--sandbox-probe") == 0) return SandboxProbe();
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s bmp|jpeg|gif < picture > answer\n", argv[0]);
    return 2;
  }
  std::vector<std::uint8_t> file;
  if (!ReadAll(0, &file)) return 1;
  close(0);
  const PictureType type = DetectPictureType(file.data(), file.size());
  const char* name = PixbufTypeName(type);
  if (!name || std::strcmp(name, argv[1]) != 0) return 1;

  std::string error;
  if (!PreparePictureDecoder(type, &error)) {
    std::fprintf(stderr, "orbelle-picture-decoder: %s\n", error.c_str());
    return 1;
  }
  DecoderAnswer answer{};
  std::memcpy(answer.magic, kAnswerMagic, sizeof(kAnswerMagic));
  // Without a filter the process limits alone hold the decoder; the program says so once.
  if (InstallDecoderSandbox(&error)) answer.flags |= kAnswerSandboxed;

  Answer sink(answer);
  if (!DecodePictureRows(file.data(), file.size(), PictureLimits{}, sink, nullptr) || !sink.Flush()) return 1;
  return 0;
}
