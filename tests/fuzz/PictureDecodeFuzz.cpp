// The decoding step of the isolated picture decoder on any bytes, in-process: it never reads
// outside the input, refuses what is not bmp, jpeg or gif, keeps to the size limits, and what it
// gives has exactly the layout it promises and is the same on a second decode (no uninitialised
// pixels, no hidden state).
#include "platform/picture/PictureDecode.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Small limits keep each run fast; the refusal above them is part of what is checked.
  const picture::PictureLimits limits{.maxSide = 2048, .maxPixels = 1 << 20};
  picture::DecodedPicture first;
  std::string error;
  const bool ok = picture::DecodePictureBytes(data, size, limits, &first, &error);
  if (picture::DetectPictureType(data, size) == picture::PictureType::Unknown) FUZZ_CHECK(!ok);
  if (!ok) {
    FUZZ_CHECK(!error.empty() && first.bgr.empty() && first.width == 0 && first.height == 0);
    return 0;
  }
  FUZZ_CHECK(picture::WithinLimits(first.width, first.height, limits));
  FUZZ_CHECK(first.stride == picture::BgrStride(first.width));
  FUZZ_CHECK(first.bgr.size() == static_cast<std::size_t>(first.stride) * static_cast<std::size_t>(first.height));

  picture::DecodedPicture second;
  FUZZ_CHECK(picture::DecodePictureBytes(data, size, limits, &second, nullptr));
  FUZZ_CHECK(second.width == first.width && second.height == first.height && second.bgr == first.bgr);
  return 0;
}
