// Shared by the fuzz targets: a property that must hold for every input. A failure aborts, which
// libFuzzer records as a crash with its input, and which fails the replay test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#define FUZZ_CHECK(condition)                                                                      \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)

// Takes typed values from the front of a fuzz input; zeros once it is used up.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}
  bool empty() const { return at_ >= bytes_.size(); }
  std::size_t remaining() const { return bytes_.size() - at_; }

  template <class T>
  T Take() {
    T value{};
    const std::size_t n = sizeof(T) < remaining() ? sizeof(T) : remaining();
    std::memcpy(&value, bytes_.data() + at_, n);
    at_ += n;
    return value;
  }
  std::uint8_t Byte() { return Take<std::uint8_t>(); }
  // Up to `most` bytes.
  std::span<const std::uint8_t> Bytes(std::size_t most) {
    const std::size_t n = most < remaining() ? most : remaining();
    auto out = bytes_.subspan(at_, n);
    at_ += n;
    return out;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};
