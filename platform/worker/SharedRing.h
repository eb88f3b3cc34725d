// One ring of slots in a sealed memfd, shared with the viewer (see Ring in WorkerWire.h). The
// worker fills a free slot, hands it to the viewer with a Frame or Sound message, and gets it
// back with the viewer's Release; when no slot is free the streaming thread waits here, which is
// the back-pressure that paces decoding. Internal to platform/worker; any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace worker {

class SharedRing {
 public:
  SharedRing() = default;
  ~SharedRing();
  SharedRing(const SharedRing&) = delete;
  SharedRing& operator=(const SharedRing&) = delete;

  // Makes the memfd of slotCount x slotSize bytes, seals its size and maps it. False with the
  // reason. Call once, before any other call.
  bool Create(std::uint32_t slotCount, std::uint64_t slotSize, std::string* error);
  // The memfd, to pass to the viewer; the ring keeps its mapping after CloseFd.
  int Fd() const { return fd_; }
  void CloseFd();

  std::uint32_t SlotCount() const { return static_cast<std::uint32_t>(states_.size()); }
  std::uint64_t SlotSize() const { return slotSize_; }
  std::uint8_t* Slot(std::uint32_t slot) const { return base_ + slot * slotSize_; }

  // Returns a free slot, now being filled, waiting for one while none is free; -1 when none is
  // free and abandon() is true (it is asked under the ring's lock, and again after each Wake).
  int Acquire(const std::function<bool()>& abandon);
  // A slot being filled goes back to the free ones (its picture was dropped).
  void Return(std::uint32_t slot);
  // A slot being filled now belongs to the viewer; call before the message that names it.
  void Hand(std::uint32_t slot);
  // The viewer's Release: false when the viewer does not hold that slot.
  bool Release(std::uint32_t slot);
  // Makes waiting threads ask their abandon() again.
  void Wake();

 private:
  enum class State : std::uint8_t { Free, Filling, Viewer };
  int fd_ = -1;
  std::uint8_t* base_ = nullptr;
  std::uint64_t slotSize_ = 0;
  std::size_t mapped_ = 0;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::vector<State> states_;  // guarded by mutex_
  std::uint32_t next_ = 0;     // where the search for a free slot starts, so slots go round in order
};

}  // namespace worker
