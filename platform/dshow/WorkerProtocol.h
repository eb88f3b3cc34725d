// The viewer's reading of what a media worker sends (platform/worker/WorkerWire.h): every
// message is checked on its own and against what came before (the phase, the rings it mapped,
// the slots the viewer holds, the generation of the last seek), and turned into one thing for
// the client to do. Nothing the worker sends can make the viewer read outside a ring it mapped,
// take a slot twice, or take a message of one phase in another: such a message is a breach, and
// the client then kills the worker. No process, thread or GStreamer here, so a fuzzer can drive
// it. Internal to platform/dshow; not thread-safe (the client guards it with its lock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/worker/WorkerWire.h"

namespace dshow {

// A ring's shared memory, mapped read-only; unmapped when the last buffer that points into it is
// gone.
class RingMapping {
 public:
  RingMapping(const std::uint8_t* base, std::size_t length) : base_(base), length_(length) {}
  ~RingMapping();
  RingMapping(const RingMapping&) = delete;
  RingMapping& operator=(const RingMapping&) = delete;
  const std::uint8_t* base() const { return base_; }
  std::size_t length() const { return length_; }

 private:
  const std::uint8_t* base_;
  std::size_t length_;
};

class WorkerProtocol {
 public:
  enum class Phase { AwaitingHello, AwaitingOpened, Opened, Started };

  // What the client does with a message that passed.
  struct Delivery {
    enum class Kind {
      None,     // nothing more (a hello, a ring)
      Opened,   // the stream facts are in Facts()
      Deliver,  // hand data/bytes of the stream's slot to its source; the slot is held
      Release,  // a slot of an older generation: hand it straight back
      End,      // the stream has no more data
      Error,    // decoding failed; text says why
    } kind = Kind::None;
    worker::Stream stream = worker::Stream::Video;
    std::uint32_t slot = 0;
    const std::uint8_t* data = nullptr;
    std::size_t bytes = 0;
    std::int64_t time = 0;
    std::int64_t duration = -1;
    std::shared_ptr<const RingMapping> mapping;  // keeps data mapped
    const char* text = nullptr;                  // Error: within the message, NUL-terminated
  };

  // Takes one whole message (size bytes) and the descriptor that came with it (-1: none; the
  // protocol closes it in every case). False for a breach; the protocol is then spent and
  // refuses everything after.
  bool Take(const void* message, std::size_t size, int fd, Delivery* out);

  Phase phase() const { return phase_; }
  bool Broken() const { return broken_; }
  // What the breach was, for the log; empty before one.
  const char* BreachReason() const { return reason_; }
  std::uint32_t HelloFlags() const { return helloFlags_; }
  const worker::Opened& Facts() const { return facts_; }

  // True when the worker reported an error after its facts and before the start.
  bool FailedBeforeStart() const { return failedBeforeStart_; }
  // The viewer has sent Open / Start / a Seek of the next generation.
  void OpenSent();
  void Started(worker::Layout layout, bool wantVideo, bool wantAudio);
  std::uint32_t NextGeneration();
  std::uint32_t Generation() const { return generation_; }
  // The viewer is done with a slot it held; false when it did not hold it.
  bool Released(worker::Stream stream, std::uint32_t slot);
  // True while the viewer holds every slot of a ring the worker streams into: the worker then
  // waits for it and owes nothing.
  bool WorkerBlocked() const;
  // True once every stream the viewer wanted has ended (or there is none).
  bool AllEnded() const;

 private:
  struct Ring {
    std::shared_ptr<const RingMapping> mapping;
    std::uint32_t slotCount = 0;
    std::uint64_t slotSize = 0;
    std::vector<bool> held;
    std::uint32_t heldCount = 0;
    bool wanted = false;
    bool ended = false;
  };
  bool Breach(const char* reason);
  bool TakeRing(const worker::Ring& m, int fd);
  bool TakeData(const worker::Frame& m, worker::Stream stream, Delivery* out);
  std::uint64_t ExpectedSlotSize(worker::Stream stream) const;

  Phase phase_ = Phase::AwaitingHello;
  bool openSent_ = false;
  bool failedBeforeStart_ = false;
  bool broken_ = false;
  const char* reason_ = "";
  std::uint32_t helloFlags_ = 0;
  worker::Opened facts_{};
  worker::Layout layout_ = worker::Layout::Bgr;
  std::uint32_t generation_ = 0;
  Ring rings_[2];
};

}  // namespace dshow
