#include "platform/worker/AsfHeader.h"

#include <algorithm>
#include <cstring>

namespace worker {
namespace {

constexpr std::uint8_t kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr std::uint8_t kAsfStreamProperties[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                                   0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr std::uint8_t kAsfAudioMedia[16] = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                                             0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
constexpr std::uint8_t kAsfVideoMedia[16] = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                                             0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

// The header object: id, 64-bit size, 32-bit object count, two reserved bytes.
constexpr std::size_t kHeaderObjectBytes = 30;
// Every object: id, 64-bit size.
constexpr std::size_t kObjectBytes = 24;

std::uint64_t Le64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

bool LooksLikeAsf(const std::uint8_t* data, std::size_t size) {
  return size >= sizeof(kAsfHeader) && std::memcmp(data, kAsfHeader, sizeof(kAsfHeader)) == 0;
}

std::vector<StreamKind> AsfStreamKinds(const std::uint8_t* data, std::size_t size) {
  std::vector<StreamKind> kinds;
  if (size < kHeaderObjectBytes || !LooksLikeAsf(data, size)) return kinds;
  const std::uint64_t headerEnd = std::min<std::uint64_t>(Le64(data + 16), size);
  std::uint64_t at = kHeaderObjectBytes;
  while (at + kObjectBytes <= headerEnd) {
    const std::uint64_t objectSize = Le64(data + at + 16);
    if (objectSize < kObjectBytes || objectSize > headerEnd - at) break;
    // The stream type id follows the object's own id and size.
    if (std::memcmp(data + at, kAsfStreamProperties, 16) == 0 && objectSize >= kObjectBytes + 16) {
      const std::uint8_t* type = data + at + kObjectBytes;
      kinds.push_back(std::memcmp(type, kAsfVideoMedia, 16) == 0   ? StreamKind::Video
                      : std::memcmp(type, kAsfAudioMedia, 16) == 0 ? StreamKind::Audio
                                                                   : StreamKind::Other);
    }
    at += objectSize;
  }
  return kinds;
}

}  // namespace worker
