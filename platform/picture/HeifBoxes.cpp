#include "platform/picture/HeifBoxes.h"

#include <algorithm>
#include <cstring>

namespace picture {
namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

struct Box {
  const std::uint8_t* type = nullptr;
  const std::uint8_t* body = nullptr;
  std::size_t bodySize = 0;
};

// Reads the box at data[at]; false when its header or length does not fit the range.
bool ReadBox(const std::uint8_t* d, std::size_t n, std::size_t at, Box* box, std::size_t* next) {
  if (n - at < 8) return false;
  std::uint64_t length = Be32(d + at);
  std::size_t header = 8;
  if (length == 1) {
    if (n - at < 16) return false;
    length = static_cast<std::uint64_t>(Be32(d + at + 8)) << 32 | Be32(d + at + 12);
    header = 16;
  } else if (length == 0) {
    length = n - at;
  }
  if (length < header || length > n - at) return false;
  box->type = d + at + 4;
  box->body = d + at + header;
  box->bodySize = static_cast<std::size_t>(length) - header;
  *next = at + static_cast<std::size_t>(length);
  return true;
}

bool Is(const Box& box, const char* type) {
  return std::memcmp(box.type, type, 4) == 0;
}

// Finds the first child box of the type among the boxes in [d, d + n); false when the boxes
// break first or none is of the type.
bool FindChild(const std::uint8_t* d, std::size_t n, const char* type, Box* found) {
  std::size_t at = 0;
  while (at < n) {
    Box box;
    std::size_t next = 0;
    if (!ReadBox(d, n, at, &box, &next)) return false;
    if (Is(box, type)) {
      *found = box;
      return true;
    }
    at = next;
  }
  return false;
}

}  // namespace

HeifBrand DetectHeifBrand(const std::uint8_t* d, std::size_t n) {
  Box ftyp;
  std::size_t next = 0;
  if (n < 16 || !ReadBox(d, n, 0, &ftyp, &next) || !Is(ftyp, "ftyp") || ftyp.bodySize < 8) return HeifBrand::None;
  const auto brand = [](const std::uint8_t* p, const char* name) { return std::memcmp(p, name, 4) == 0; };
  const std::uint8_t* major = ftyp.body;
  if (brand(major, "avif") || brand(major, "avis")) return HeifBrand::Avif;
  for (const char* name : {"heic", "heix", "heim", "heis", "hevc", "hevx"})
    if (brand(major, name)) return HeifBrand::Heif;
  if (!brand(major, "mif1") && !brand(major, "msf1")) return HeifBrand::None;
  // Compatible brands follow the major brand and its version.
  for (std::size_t at = 8; at + 4 <= ftyp.bodySize; at += 4)
    if (brand(ftyp.body + at, "avif") || brand(ftyp.body + at, "avis")) return HeifBrand::Avif;
  return HeifBrand::Heif;
}

namespace {

// The property container (meta, iprp, ipco); false when the boxes break before it.
bool FindProperties(const std::uint8_t* d, std::size_t n, Box* ipco) {
  Box meta, iprp;
  // meta is a full box: version and flags come before its children.
  return FindChild(d, n, "meta", &meta) && meta.bodySize >= 4 &&
         FindChild(meta.body + 4, meta.bodySize - 4, "iprp", &iprp) &&
         FindChild(iprp.body, iprp.bodySize, "ipco", ipco);
}

}  // namespace

bool HeifLargestExtent(const std::uint8_t* d, std::size_t n, std::uint32_t* width, std::uint32_t* height) {
  *width = *height = 0;
  Box ipco;
  if (!FindProperties(d, n, &ipco)) return false;
  bool found = false;
  std::size_t at = 0;
  while (at < ipco.bodySize) {
    Box box;
    std::size_t next = 0;
    if (!ReadBox(ipco.body, ipco.bodySize, at, &box, &next)) return false;
    if (Is(box, "ispe")) {
      if (box.bodySize < 12) return false;
      *width = std::max(*width, Be32(box.body + 4));
      *height = std::max(*height, Be32(box.body + 8));
      found = true;
    }
    at = next;
  }
  return found;
}

std::vector<std::uint8_t> HeifIccProfile(const std::uint8_t* d, std::size_t n) {
  Box ipco;
  if (!FindProperties(d, n, &ipco)) return {};
  std::size_t at = 0;
  while (at < ipco.bodySize) {
    Box box;
    std::size_t next = 0;
    if (!ReadBox(ipco.body, ipco.bodySize, at, &box, &next)) return {};
    if (Is(box, "colr") && box.bodySize > 4 &&
        (std::memcmp(box.body, "prof", 4) == 0 || std::memcmp(box.body, "rICC", 4) == 0))
      return {box.body + 4, box.body + box.bodySize};
    at = next;
  }
  return {};
}

}  // namespace picture
