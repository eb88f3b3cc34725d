// The system-memory bytes of one texture level: zero when made, without the maker touching
// them. Large stores are mapped from the kernel (zero pages, faulted in by whoever first writes
// them, in huge pages where the kernel allows) so that creating a texture for a 12-megapixel
// picture costs the device thread a system call rather than a 48 MB clear; small ones come from
// the heap. Internal to platform/d3d9.
#pragma once

#include <cstddef>
#include <cstdint>

namespace d3d9 {

class TexelStore {
 public:
  TexelStore() = default;
  // bytes zero bytes; throws std::bad_alloc when they cannot be had.
  explicit TexelStore(std::size_t bytes);
  ~TexelStore();
  TexelStore(TexelStore&& other) noexcept;
  TexelStore& operator=(TexelStore&& other) noexcept;
  TexelStore(const TexelStore&) = delete;
  TexelStore& operator=(const TexelStore&) = delete;

  std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void Free();

  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
};

}  // namespace d3d9
