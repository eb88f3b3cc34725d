// The readers of MPEG program and transport stream lengths, on any bytes as a file: they stay
// inside what they read, and a length they give is a finite positive number of seconds.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>

#include "platform/worker/ProgramStream.h"
#include "platform/worker/TransportStream.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = memfd_create("stream", MFD_CLOEXEC);
  if (fd < 0) return 0;
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = write(fd, data + written, size - written);
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  const auto fileSize = static_cast<std::int64_t>(written);
  double seconds = -1.0;
  if (worker::ProgramStreamLength(fd, fileSize, &seconds)) FUZZ_CHECK(std::isfinite(seconds) && seconds > 0.0);
  const int packetSize = worker::TransportPacketSize(data, size);
  FUZZ_CHECK(packetSize == 0 || packetSize == 188 || packetSize == 192);
  for (int tried : {188, 192, packetSize}) {
    seconds = -1.0;
    if (worker::TransportStreamLength(fd, fileSize, tried, &seconds))
      FUZZ_CHECK(std::isfinite(seconds) && seconds > 0.0);
  }
  close(fd);
  return 0;
}
