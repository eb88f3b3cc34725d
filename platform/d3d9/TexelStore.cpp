#include "platform/d3d9/TexelStore.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>
#include <utility>

namespace d3d9 {
namespace {

// From this size on, a store is its own mapping: below it the heap's zeroing is cheap.
constexpr std::size_t kMapFrom = std::size_t{1} << 20;

}  // namespace

TexelStore::TexelStore(std::size_t bytes) : size_(bytes) {
  if (bytes == 0) return;
  if (bytes >= kMapFrom) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    // Fewer faults for the first writer; the kernel ignores this where it has no huge pages.
    madvise(p, bytes, MADV_HUGEPAGE);
    data_ = static_cast<std::uint8_t*>(p);
    mapped_ = true;
    return;
  }
  data_ = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
  if (!data_) throw std::bad_alloc();
}

TexelStore::~TexelStore() {
  Free();
}

TexelStore::TexelStore(TexelStore&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

TexelStore& TexelStore::operator=(TexelStore&& other) noexcept {
  if (this != &other) {
    Free();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

void TexelStore::Free() {
  if (mapped_)
    munmap(data_, size_);
  else
    std::free(data_);
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace d3d9
