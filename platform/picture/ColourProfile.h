// Conversion of decoded pixels from the colour profile a picture embeds to sRGB, with LittleCMS.
// A picture without a profile, or with one that cannot be read or does not fit its pixels, is
// taken as sRGB and left as it is. Holds no state; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace picture {

// Converts rows of 8-bit RGB (channels 3) or RGBA (channels 4, alpha kept) in place from an RGB
// or grey profile to sRGB. False (pixels untouched) when the profile is not one of those or
// cannot be read.
bool ConvertRgbToSrgb(const std::vector<std::uint8_t>& icc, std::uint8_t* pixels, int width, int height, int rowstride,
                      int channels);

// Converts one row of 8-bit CMYK (inverted: 255 is no ink, as Adobe's jpeg files store it) to
// 8-bit RGB with a CMYK profile, or, without one that can be read, by the plain formula
// R = (1 - C)(1 - K) and so on.
class CmykToRgb {
 public:
  CmykToRgb(const std::vector<std::uint8_t>& icc, bool inverted);
  ~CmykToRgb();
  CmykToRgb(const CmykToRgb&) = delete;
  CmykToRgb& operator=(const CmykToRgb&) = delete;
  void Row(const std::uint8_t* cmyk, std::uint8_t* rgb, int width) const;
  bool UsesProfile() const { return transform_ != nullptr; }

 private:
  void* transform_ = nullptr;
  bool inverted_;
};

// Makes a profile once, so that what LittleCMS and the C library load at first use (the time
// zone, read for a new profile's date) is loaded before a sandbox hides the files.
void PrepareColourProfiles();

// The ICC profile of a png file (its iCCP chunk, inflated; at most 16 MB); empty when there is
// none or it does not inflate.
std::vector<std::uint8_t> PngIccProfile(const std::uint8_t* data, std::size_t size);

// The ICC profile of a webp file (its ICCP chunk); empty when there is none.
std::vector<std::uint8_t> WebpIccProfile(const std::uint8_t* data, std::size_t size);

}  // namespace picture
