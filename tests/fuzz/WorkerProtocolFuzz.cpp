// The viewer's reading of a media worker's messages, driven as a hostile worker would drive it:
// the input is a script of steps, each a message from the worker (raw bytes, or a sound header
// of a chosen type with fuzzed fields, with or without a shared-memory descriptor of fuzzed size
// and seals) or an action of the viewer (Open sent, Start, a seek's new generation, a release).
// Properties: whatever is delivered lies inside a ring that was mapped; a slot is never delivered
// while the viewer holds it; a breach is final; facts that were taken pass their check.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "FuzzCheck.h"
#include "platform/dshow/WorkerProtocol.h"

namespace {

struct Script {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool Done() const { return at >= size; }
  std::uint8_t Byte() { return at < size ? data[at++] : 0; }
  std::vector<std::uint8_t> Bytes(std::size_t n) {
    n = std::min(n, size - std::min(size, at));
    std::vector<std::uint8_t> out(data + at, data + at + n);
    at += n;
    return out;
  }
};

// A memfd of the given size with the given seals (or -1).
int SharedMemory(std::uint32_t size, unsigned seals) {
  const int fd = memfd_create("fuzz-ring", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) return -1;
  if (ftruncate(fd, size) != 0 || (seals && fcntl(fd, F_ADD_SEALS, seals) != 0)) {
    close(fd);
    return -1;
  }
  return fd;
}

constexpr worker::Type kTypes[] = {worker::Type::Hello, worker::Type::Opened, worker::Type::Ring,
                                   worker::Type::Frame, worker::Type::Sound,  worker::Type::End,
                                   worker::Type::Error, worker::Type::Open,   worker::Type::Release};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dshow::WorkerProtocol protocol;
  Script script{data, size};
  std::set<std::pair<int, std::uint32_t>> held;
  bool broken = false;
  for (int steps = 0; !script.Done() && steps < 64; ++steps) {
    const std::uint8_t op = script.Byte();
    switch (op % 8) {
      case 0:
      case 1: {
        // A message: raw bytes (op 0), or a sound header of a chosen type over fuzzed fields.
        std::vector<std::uint8_t> message;
        if (op % 8 == 0) {
          message = script.Bytes(script.Byte() * 2u);
        } else {
          const worker::Type type = kTypes[script.Byte() % std::size(kTypes)];
          const std::size_t length = worker::SizeOf(type);
          message.assign(length, 0);
          worker::Header header{worker::kMagic, type, static_cast<std::uint32_t>(length), 0};
          std::memcpy(message.data(), &header, sizeof(header));
          const std::vector<std::uint8_t> fields = script.Bytes(script.Byte());
          std::copy_n(fields.begin(), std::min(fields.size(), length - sizeof(header)),
                      message.begin() + sizeof(header));
        }
        // With a descriptor (op bit 3): shared memory of a fuzzed size, sealed or not.
        int fd = -1;
        if (op & 8) {
          std::uint32_t bytes = script.Byte() | (script.Byte() << 8) | (script.Byte() << 16);
          const unsigned seals = (op & 16) ? F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL : F_SEAL_GROW;
          fd = SharedMemory(bytes, seals);
        }
        dshow::WorkerProtocol::Delivery d;
        const bool ok = protocol.Take(message.data(), message.size(), fd, &d);
        FUZZ_CHECK(!(broken && ok));  // a breach is final
        broken = broken || !ok;
        FUZZ_CHECK(protocol.Broken() == broken);
        if (!ok) break;
        using Kind = dshow::WorkerProtocol::Delivery::Kind;
        if (d.kind == Kind::Opened) FUZZ_CHECK(worker::OpenedValid(protocol.Facts()));
        if (d.kind == Kind::Deliver || d.kind == Kind::Release) {
          const auto key = std::make_pair(static_cast<int>(d.stream), d.slot);
          FUZZ_CHECK(held.count(key) == 0);  // never delivered while held
          held.insert(key);
        }
        if (d.kind == Kind::Deliver) {
          FUZZ_CHECK(d.mapping != nullptr);
          FUZZ_CHECK(d.bytes > 0);
          FUZZ_CHECK(d.data >= d.mapping->base());
          FUZZ_CHECK(d.data + d.bytes <= d.mapping->base() + d.mapping->length());
          // The whole slot is readable: touch its first and last byte.
          volatile std::uint8_t first = d.data[0], last = d.data[d.bytes - 1];
          (void)first;
          (void)last;
        }
        if (d.kind == Kind::Error) FUZZ_CHECK(d.text && std::strlen(d.text) < sizeof(worker::Error::text));
        break;
      }
      case 2:
        protocol.OpenSent();
        break;
      case 3:
        if (protocol.phase() == dshow::WorkerProtocol::Phase::Opened) {
          const std::uint8_t how = script.Byte();
          protocol.Started(how & 1 ? worker::Layout::Bgrx : worker::Layout::Bgr, how & 2, how & 4);
        }
        break;
      case 4:
        protocol.NextGeneration();
        break;
      case 5: {
        // The viewer hands back one slot it holds (chosen by the script), or one it does not.
        const std::uint8_t pick = script.Byte();
        if (!held.empty() && (pick & 128) == 0) {
          auto it = held.begin();
          std::advance(it, pick % held.size());
          FUZZ_CHECK(protocol.Released(static_cast<worker::Stream>(it->first), it->second));
          held.erase(it);
        } else {
          const auto key = std::make_pair(pick & 1, static_cast<std::uint32_t>(pick >> 1));
          FUZZ_CHECK(!protocol.Released(static_cast<worker::Stream>(key.first), key.second) || held.count(key));
          held.erase(key);
        }
        break;
      }
      default:
        (void)protocol.WorkerBlocked();
        (void)protocol.AllEnded();
        break;
    }
  }
  return 0;
}
