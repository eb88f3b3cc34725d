// The orientation an Exif block gives a picture, and where a png or a webp file keeps that block.
// Values as Exif numbers them: 1 upright, 2 mirrored left to right, 3 turned half round,
// 4 mirrored top to bottom, 5 mirrored along the main diagonal, 6 to be turned a quarter
// clockwise, 7 mirrored along the other diagonal, 8 to be turned a quarter anticlockwise.
// Holds no state; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace picture {

// The orientation tag of the first directory of an Exif block that starts at its TIFF header
// ("II*\0" or "MM\0*"); 1 when the block has none, or a broken or out-of-range one.
int ExifOrientation(const std::uint8_t* tiff, std::size_t size);

// The Exif block of a png file (its eXIf chunk) or a webp file (its EXIF chunk, with or without
// an "Exif\0\0" prefix), from its TIFF header on; empty when there is none.
std::vector<std::uint8_t> PngExif(const std::uint8_t* data, std::size_t size);
std::vector<std::uint8_t> WebpExif(const std::uint8_t* data, std::size_t size);

}  // namespace picture
