// A stand-in for orbelle-picture-decoder that misbehaves on purpose, for the tests of the
// program's side: `fake_picture_decoder MODE TYPE`, descriptors as the real decoder gets them.
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/picture/DecoderWire.h"

namespace {

using picture::DecoderAnswer;

void WriteAll(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = write(1, p, size);
    if (n <= 0) _exit(1);
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

DecoderAnswer Header(std::uint32_t width, std::uint32_t height) {
  DecoderAnswer a{};
  std::memcpy(a.magic, picture::kAnswerMagic, sizeof(a.magic));
  a.flags = picture::kAnswerSandboxed;
  a.width = width;
  a.height = height;
  a.stride = static_cast<std::uint32_t>(picture::BgrStride(static_cast<int>(width)));
  a.pixelBytes = static_cast<std::uint64_t>(a.stride) * height;
  return a;
}

// A picture whose every byte is `value`, after the header as given.
void Answer(const DecoderAnswer& a, std::uint8_t value, std::uint64_t bytes) {
  WriteAll(&a, sizeof(a));
  std::vector<std::uint8_t> pixels(bytes, value);
  WriteAll(pixels.data(), pixels.size());
}

int OpenDescriptors() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  while (dirent* entry = readdir(dir))
    if (entry->d_name[0] != '.') ++count;
  closedir(dir);
  return count - 1;  // the folder's own descriptor
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string mode = argv[1];
  if (mode == "valid") {
    const DecoderAnswer a = Header(3, 2);
    Answer(a, 0x5A, a.pixelBytes);
  } else if (mode == "unsandboxed") {
    // As the real decoder answers where the system refused its seccomp filter.
    DecoderAnswer a = Header(3, 2);
    a.flags = 0;
    Answer(a, 0x5A, a.pixelBytes);
  } else if (mode == "crash") {
    raise(SIGSEGV);
  } else if (mode == "hang") {
    for (;;) pause();
  } else if (mode == "spin") {
    volatile unsigned spins = 0;
    for (;;) spins = spins + 1;
  } else if (mode == "flood") {
    std::vector<std::uint8_t> junk(1 << 20, 0xEE);
    for (;;) WriteAll(junk.data(), junk.size());
  } else if (mode == "fail-after-answer") {
    const DecoderAnswer a = Header(3, 2);
    Answer(a, 0x5A, a.pixelBytes);
    return 1;
  } else if (mode == "bad-magic") {
    DecoderAnswer a = Header(3, 2);
    a.magic[0] = 'X';
    Answer(a, 0x5A, a.pixelBytes);
  } else if (mode == "bad-stride") {
    DecoderAnswer a = Header(3, 2);
    a.stride = 9;
    a.pixelBytes = 18;
    Answer(a, 0x5A, a.pixelBytes);
  } else if (mode == "short") {
    const DecoderAnswer a = Header(3, 2);
    Answer(a, 0x5A, a.pixelBytes - 1);
  } else if (mode == "long") {
    const DecoderAnswer a = Header(3, 2);
    Answer(a, 0x5A, a.pixelBytes + 1);
  } else if (mode == "too-wide") {
    const DecoderAnswer a = Header(20000, 1);
    Answer(a, 0x5A, a.pixelBytes);
  } else if (mode == "zero") {
    const DecoderAnswer a = Header(0, 0);
    Answer(a, 0x5A, 0);
  } else if (mode == "overflow") {
    // Lengths whose product wraps in 32 bits.
    DecoderAnswer a = Header(65536, 65536);
    a.stride = 0;
    a.pixelBytes = 0;
    Answer(a, 0x5A, 0);
  } else if (mode == "partial-header") {
    const DecoderAnswer a = Header(3, 2);
    WriteAll(&a, 10);
  } else if (mode == "limits") {
    // Reports what it runs under as a picture: width = address space in MiB, height = CPU
    // seconds, every byte = the number of open descriptors.
    rlimit as{}, cpu{};
    getrlimit(RLIMIT_AS, &as);
    getrlimit(RLIMIT_CPU, &cpu);
    const std::uint64_t mib = as.rlim_cur == RLIM_INFINITY ? 16383 : as.rlim_cur >> 20;
    const DecoderAnswer a = Header(static_cast<std::uint32_t>(mib), static_cast<std::uint32_t>(cpu.rlim_cur));
    Answer(a, static_cast<std::uint8_t>(OpenDescriptors()), a.pixelBytes);
  } else {
    return 2;
  }
  return 0;
}
