#include "platform/picture/JpegSegments.h"

#include <algorithm>
#include <cstring>

namespace picture {
namespace {

constexpr std::uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kApp1 = 0xE1, kApp2 = 0xE2, kApp14 = 0xEE;

bool IsRestart(std::uint8_t m) {
  return m >= 0xD0 && m <= 0xD7;
}
bool IsFrameHeader(std::uint8_t m) {
  // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
  return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// The ICC profile's pieces: "ICC_PROFILE\0", this piece's number (from 1), the count of pieces.
struct IccPieces {
  std::vector<std::vector<std::uint8_t>> pieces;
  bool broken = false;
  void Add(const std::uint8_t* body, std::size_t n) {
    static constexpr char kTag[] = "ICC_PROFILE";
    if (n < 14 || std::memcmp(body, kTag, sizeof(kTag)) != 0) return;
    const int number = body[12], count = body[13];
    if (number < 1 || count < 1 || number > count) {
      broken = true;
      return;
    }
    if (pieces.empty()) pieces.resize(static_cast<std::size_t>(count));
    if (pieces.size() != static_cast<std::size_t>(count) || !pieces[number - 1].empty()) {
      broken = true;
      return;
    }
    pieces[number - 1].assign(body + 14, body + n);
  }
  std::vector<std::uint8_t> Joined() const {
    std::vector<std::uint8_t> all;
    if (broken) return all;
    for (const auto& piece : pieces) {
      if (piece.empty()) return {};
      all.insert(all.end(), piece.begin(), piece.end());
    }
    return all;
  }
};

}  // namespace

JpegSegments WalkJpegSegments(const std::uint8_t* d, std::size_t n) {
  JpegSegments out;
  if (n < 2 || d[0] != 0xFF || d[1] != kSoi) {
    out.broken = true;
    return out;
  }
  IccPieces icc;
  std::size_t i = 2;
  bool inScan = false;
  while (i < n) {
    if (inScan) {
      // Entropy-coded data: runs to the first 0xFF that starts a marker other than a restart.
      const std::uint8_t* ff = static_cast<const std::uint8_t*>(std::memchr(d + i, 0xFF, n - i));
      if (!ff) break;
      i = static_cast<std::size_t>(ff - d);
      if (i + 1 >= n) break;
      const std::uint8_t next = d[i + 1];
      if (next == 0x00 || IsRestart(next)) {
        i += 2;
        continue;
      }
      if (next == 0xFF) {  // fill byte before a marker
        ++i;
        continue;
      }
      inScan = false;
    }
    // A marker, possibly after fill bytes.
    if (d[i] != 0xFF) {
      out.broken = true;
      break;
    }
    while (i < n && d[i] == 0xFF) ++i;
    if (i >= n) break;
    const std::uint8_t marker = d[i++];
    if (marker == kEoi) {
      out.hasEnd = out.reachedScan;
      if (!out.reachedScan) out.broken = true;
      break;
    }
    if (IsRestart(marker) || marker == 0x01) continue;  // no length
    if (marker == kSoi || marker == 0x00) {
      out.broken = true;
      break;
    }
    if (i + 2 > n) break;
    const std::size_t length = static_cast<std::size_t>(d[i] << 8 | d[i + 1]);
    if (length < 2) {
      out.broken = true;
      break;
    }
    if (i + length > n) break;  // cut inside the segment
    const std::uint8_t* body = d + i + 2;
    const std::size_t bodySize = length - 2;
    if (IsFrameHeader(marker) && bodySize >= 6 && out.components == 0) out.components = body[5];
    if (marker == kApp1 && out.exif.empty() && bodySize > 6 && std::memcmp(body, "Exif\0\0", 6) == 0)
      out.exif.assign(body + 6, body + bodySize);
    if (marker == kApp2) icc.Add(body, bodySize);
    if (marker == kApp14 && bodySize >= 12 && std::memcmp(body, "Adobe", 5) == 0) {
      out.adobe = true;
      out.adobeTransform = body[11];
    }
    i += length;
    if (marker == kSos) {
      out.reachedScan = true;
      inScan = true;
    }
  }
  out.icc = icc.Joined();
  return out;
}

}  // namespace picture
