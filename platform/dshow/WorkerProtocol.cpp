#include "platform/dshow/WorkerProtocol.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace dshow {
namespace {

class ClosedOnExit {
 public:
  explicit ClosedOnExit(int fd) : fd_(fd) {}
  ~ClosedOnExit() {
    if (fd_ >= 0) close(fd_);
  }
  ClosedOnExit(const ClosedOnExit&) = delete;
  ClosedOnExit& operator=(const ClosedOnExit&) = delete;

 private:
  int fd_;
};

constexpr unsigned kRequiredSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL;

int Index(worker::Stream stream) {
  return stream == worker::Stream::Audio ? 1 : 0;
}

template <typename T>
T Read(const void* message) {
  T m;
  std::memcpy(&m, message, sizeof(T));
  return m;
}

}  // namespace

RingMapping::~RingMapping() {
  munmap(const_cast<std::uint8_t*>(base_), length_);
}

bool WorkerProtocol::Breach(const char* reason) {
  broken_ = true;
  reason_ = reason;
  return false;
}

void WorkerProtocol::OpenSent() {
  openSent_ = true;
}

void WorkerProtocol::Started(worker::Layout layout, bool wantVideo, bool wantAudio) {
  layout_ = layout;
  rings_[0].wanted = wantVideo && (facts_.flags & worker::kHasVideo);
  rings_[1].wanted = wantAudio && (facts_.flags & worker::kHasAudio);
  phase_ = Phase::Started;
}

std::uint64_t WorkerProtocol::ExpectedSlotSize(worker::Stream stream) const {
  if (stream == worker::Stream::Audio) return worker::kSoundSlotBytes;
  return worker::PictureBytes(layout_, facts_.width, facts_.height);
}

std::uint32_t WorkerProtocol::NextGeneration() {
  for (Ring& ring : rings_) ring.ended = false;
  return ++generation_;
}

bool WorkerProtocol::Released(worker::Stream stream, std::uint32_t slot) {
  Ring& ring = rings_[Index(stream)];
  if (slot >= ring.held.size() || !ring.held[slot]) return false;
  ring.held[slot] = false;
  --ring.heldCount;
  return true;
}

bool WorkerProtocol::WorkerBlocked() const {
  for (const Ring& ring : rings_)
    if (ring.wanted && ring.mapping && !ring.ended && ring.heldCount == ring.slotCount) return true;
  return false;
}

bool WorkerProtocol::AllEnded() const {
  for (const Ring& ring : rings_)
    if (ring.wanted && !ring.ended) return false;
  return true;
}

bool WorkerProtocol::TakeRing(const worker::Ring& m, int fd) {
  if (phase_ != Phase::Started || fd < 0) return Breach("a ring before the start or without its memory");
  if (m.stream != worker::Stream::Video && m.stream != worker::Stream::Audio) return Breach("a ring of no stream");
  Ring& ring = rings_[Index(m.stream)];
  if (!ring.wanted || ring.mapping || !worker::RingValid(m, ExpectedSlotSize(m.stream)))
    return Breach("a ring not asked for, a second ring, or a ring of the wrong size");
  // A still picture has one slot; a stream no more than the most the worker may use.
  const std::uint64_t length = m.slotSize * m.slotCount;
  const int seals = fcntl(fd, F_GET_SEALS);
  struct stat info {};
  if (seals < 0 || (static_cast<unsigned>(seals) & kRequiredSeals) != kRequiredSeals || fstat(fd, &info) != 0 ||
      !S_ISREG(info.st_mode) || info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) < length ||
      length > (std::uint64_t{1} << 40))
    return Breach("a ring's memory unsealed or shorter than its slots");
  void* base = mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_SHARED, fd, 0);
  if (base == MAP_FAILED) return Breach("a ring's memory that cannot be mapped");
  ring.mapping =
      std::make_shared<RingMapping>(static_cast<const std::uint8_t*>(base), static_cast<std::size_t>(length));
  ring.slotCount = m.slotCount;
  ring.slotSize = m.slotSize;
  ring.held.assign(m.slotCount, false);
  ring.heldCount = 0;
  return true;
}

bool WorkerProtocol::TakeData(const worker::Frame& m, worker::Stream stream, Delivery* out) {
  if (phase_ != Phase::Started) return Breach("data before the start");
  Ring& ring = rings_[Index(stream)];
  if (!ring.mapping) return Breach("data for a stream without a ring");
  if (m.slot >= ring.slotCount || ring.held[m.slot]) return Breach("data in a slot that is not the worker's");
  if (m.generation > generation_) return Breach("data of a generation not yet asked for");
  if (m.duration < -1) return Breach("data with a negative duration");
  if (stream == worker::Stream::Video) {
    if (m.bytes != ring.slotSize) return Breach("a picture that does not fill its slot");
  } else {
    const std::uint64_t frameBytes = 2ull * facts_.channels;
    if (m.bytes == 0 || m.bytes > ring.slotSize || m.bytes % frameBytes != 0)
      return Breach("sound that is not a whole number of samples within its slot");
  }
  const bool stale = m.generation < generation_;
  if (!stale && ring.ended) return Breach("data after the stream's end");
  // The slot is the viewer's from here: delivered, or (of an older generation) handed back.
  ring.held[m.slot] = true;
  ++ring.heldCount;
  out->stream = stream;
  out->slot = m.slot;
  if (stale) {
    out->kind = Delivery::Kind::Release;
    return true;
  }
  out->kind = Delivery::Kind::Deliver;
  out->mapping = ring.mapping;
  out->data = ring.mapping->base() + ring.slotSize * m.slot;
  out->bytes = static_cast<std::size_t>(m.bytes);
  out->time = m.time;
  out->duration = m.duration;
  return true;
}

bool WorkerProtocol::Take(const void* message, std::size_t size, int fd, Delivery* out) {
  ClosedOnExit closer(fd);
  *out = Delivery{};
  if (broken_) return false;
  worker::Type type;
  if (!worker::HeaderValid(message, size, &type)) return Breach("a message with a bad header");
  // Only a ring comes with a descriptor.
  if (fd >= 0 && type != worker::Type::Ring) return Breach("a descriptor with a message other than a ring");
  switch (type) {
    case worker::Type::Hello: {
      if (phase_ != Phase::AwaitingHello) return Breach("a second hello");
      const auto m = Read<worker::Hello>(message);
      if ((m.flags & worker::kSeccomp) == 0) return Breach("a hello without the seccomp filter");
      helloFlags_ = m.flags;
      phase_ = Phase::AwaitingOpened;
      return true;
    }
    case worker::Type::Opened: {
      if (phase_ != Phase::AwaitingOpened || !openSent_) return Breach("stream facts out of turn");
      const auto m = Read<worker::Opened>(message);
      if (!worker::OpenedValid(m)) return Breach("stream facts out of range");
      facts_ = m;
      phase_ = Phase::Opened;
      out->kind = Delivery::Kind::Opened;
      return true;
    }
    case worker::Type::Ring: {
      const auto m = Read<worker::Ring>(message);
      return TakeRing(m, fd);
    }
    case worker::Type::Frame:
      return TakeData(Read<worker::Frame>(message), worker::Stream::Video, out);
    case worker::Type::Sound:
      return TakeData(Read<worker::Sound>(message), worker::Stream::Audio, out);
    case worker::Type::End: {
      const auto m = Read<worker::End>(message);
      if (phase_ != Phase::Started || (m.stream != worker::Stream::Video && m.stream != worker::Stream::Audio) ||
          m.generation > generation_)
        return Breach("an end out of turn");
      Ring& ring = rings_[Index(m.stream)];
      if (m.generation < generation_ || !ring.wanted) return true;
      ring.ended = true;
      out->kind = Delivery::Kind::End;
      out->stream = m.stream;
      return true;
    }
    case worker::Type::Error: {
      const auto m = Read<worker::Error>(message);
      // An error may follow the facts before the viewer starts the streams: the start then fails.
      if (phase_ == Phase::Opened && m.generation == 0 && worker::ErrorTextValid(m)) {
        failedBeforeStart_ = true;
        return true;
      }
      if (phase_ != Phase::Started || m.generation > generation_ || !worker::ErrorTextValid(m))
        return Breach("an error out of turn or unterminated");
      if (m.generation < generation_) return true;
      // Decoding stopped: the worker owes nothing more until the next seek.
      for (Ring& ring : rings_) ring.ended = true;
      out->kind = Delivery::Kind::Error;
      out->text = static_cast<const char*>(message) + offsetof(worker::Error, text);
      return true;
    }
    default:
      return Breach("a message only the viewer sends");
  }
}

}  // namespace dshow
