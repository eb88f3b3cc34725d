#include "platform/worker/SharedRing.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace worker {

SharedRing::~SharedRing() {
  CloseFd();
  if (base_) munmap(base_, mapped_);
}

bool SharedRing::Create(std::uint32_t slotCount, std::uint64_t slotSize, std::string* error) {
  if (slotCount == 0 || slotSize == 0 || slotSize > (std::uint64_t{1} << 40) / slotCount) {
    *error = "a ring of that size cannot exist";
    return false;
  }
  const std::uint64_t bytes = slotCount * slotSize;
  fd_ = memfd_create("orbelle-ring", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd_ < 0 || ftruncate(fd_, static_cast<off_t>(bytes)) != 0 ||
      fcntl(fd_, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
    *error = std::string("the ring's shared memory could not be made: ") + std::strerror(errno);
    return false;
  }
  void* base = mmap(nullptr, static_cast<std::size_t>(bytes), PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (base == MAP_FAILED) {
    *error = std::string("the ring could not be mapped: ") + std::strerror(errno);
    return false;
  }
  base_ = static_cast<std::uint8_t*>(base);
  mapped_ = static_cast<std::size_t>(bytes);
  slotSize_ = slotSize;
  std::lock_guard<std::mutex> lock(mutex_);
  states_.assign(slotCount, State::Free);
  return true;
}

void SharedRing::CloseFd() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

int SharedRing::Acquire(const std::function<bool()>& abandon) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    const std::uint32_t count = static_cast<std::uint32_t>(states_.size());
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t slot = (next_ + i) % count;
      if (states_[slot] == State::Free) {
        states_[slot] = State::Filling;
        next_ = (slot + 1) % count;
        return static_cast<int>(slot);
      }
    }
    if (abandon()) return -1;
    freed_.wait(lock);
  }
}

void SharedRing::Return(std::uint32_t slot) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot < states_.size() && states_[slot] == State::Filling) states_[slot] = State::Free;
  }
  freed_.notify_all();
}

void SharedRing::Hand(std::uint32_t slot) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (slot < states_.size() && states_[slot] == State::Filling) states_[slot] = State::Viewer;
}

bool SharedRing::Release(std::uint32_t slot) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot >= states_.size() || states_[slot] != State::Viewer) return false;
    states_[slot] = State::Free;
  }
  freed_.notify_all();
  return true;
}

void SharedRing::Wake() {
  // Taking the lock orders the wake-up after a waiter's last look at abandon().
  { std::lock_guard<std::mutex> lock(mutex_); }
  freed_.notify_all();
}

}  // namespace worker
