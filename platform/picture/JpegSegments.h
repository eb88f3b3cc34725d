// The structure of a jpeg file, read by its segment lengths without decoding: the markers up to
// the first scan, then each scan's entropy-coded data (in which 0xFF is followed by 0x00 or a
// restart marker) up to the marker after it, until the end marker. Bytes inside a segment, such
// as an Exif thumbnail's own markers, are skipped by length and never taken for the file's own.
// Holds no state; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace picture {

struct JpegSegments {
  // The walk reached a scan (a start-of-scan segment whose length fits the file).
  bool reachedScan = false;
  // The end marker follows the last scan's data.
  bool hasEnd = false;
  // The walk met bytes that are no marker where a marker must be, or a length that does not fit.
  bool broken = false;
  // Start-of-frame components (1 grey, 3 colour, 4 CMYK or YCCK); 0 when no frame header.
  int components = 0;
  // An Adobe segment was seen (its CMYK is stored inverted) and its colour transform (0: none,
  // 1: YCbCr, 2: YCCK).
  bool adobe = false;
  int adobeTransform = 0;
  // The Exif block of the first APP1 "Exif" segment (from its TIFF header on), and the ICC
  // profile put together from its APP2 "ICC_PROFILE" pieces in their order; empty when absent
  // or when the pieces do not add up.
  std::vector<std::uint8_t> exif;
  std::vector<std::uint8_t> icc;
};

JpegSegments WalkJpegSegments(const std::uint8_t* data, std::size_t size);

}  // namespace picture
