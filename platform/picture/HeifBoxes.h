// The boxes of a HEIF or AVIF file (ISO base media file format) that say what it is and how
// large its pictures are, read before any decoder sees the file: the decoders of these formats
// decode a whole picture before they report its size. Holds no state; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace picture {

enum class HeifBrand { None, Heif, Avif };

// What the leading file-type box says: AVIF for the brands avif and avis (as the major brand,
// or as a compatible one of the image brands mif1 and msf1), HEIF for heic, heix, heim, heis,
// hevc, hevx, mif1 and msf1 otherwise; None for anything else (an MP4 video among others).
HeifBrand DetectHeifBrand(const std::uint8_t* data, std::size_t size);

// The largest width and the largest height any image spatial extent property (meta, iprp, ipco,
// ispe) announces. False when the boxes are broken or no such property exists.
bool HeifLargestExtent(const std::uint8_t* data, std::size_t size, std::uint32_t* width, std::uint32_t* height);

// The ICC profile of the first colour property (ipco, colr) that holds one (colour type prof or
// rICC); empty when there is none. Not every decoder module hands it on.
std::vector<std::uint8_t> HeifIccProfile(const std::uint8_t* data, std::size_t size);

}  // namespace picture
