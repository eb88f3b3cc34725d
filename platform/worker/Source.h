// What the worker serves once a file is open: a still picture or a decoded media stream. The
// main thread calls these for the viewer's messages, in the order they come, after Opened said
// the file is prerolled. Internal to platform/worker.
#pragma once

#include <cstdint>

#include "platform/worker/WorkerWire.h"

namespace worker {

class Source {
 public:
  virtual ~Source() = default;
  // Start (once): makes and sends the rings of the wanted streams, then sends what follows.
  virtual void Start(const worker::Start& start) = 0;
  // Seek: generation is one more than the last; target in ns from the first picture, >= 0.
  virtual void Seek(std::uint32_t generation, std::int64_t target) = 0;
  // Release: false when the viewer does not hold that slot (a broken protocol).
  virtual bool Release(Stream stream, std::uint32_t slot) = 0;
};

}  // namespace worker
