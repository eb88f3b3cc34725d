// The picture decoder's own readers of file structure, on any bytes and without decoding a
// pixel: the jpeg segment walk, the HEIF boxes, the png and webp chunks (a png's compressed
// colour profile inflated, up to its cap), the Exif orientation, and the gif and APNG frame
// walks with the standalone frame files they make. They never read outside the input, and what
// they report lies inside it: frames end within the file, frame files are well-formed wrappers
// (their own signature, header and end), orientations are 1..8. Fast where the decoding target
// is slow, so these readers get most of the fuzzing.
#include <cstring>

#include "platform/picture/ApngFrames.h"
#include "platform/picture/ColourProfile.h"
#include "platform/picture/ExifOrientation.h"
#include "platform/picture/GifFrames.h"
#include "platform/picture/HeifBoxes.h"
#include "platform/picture/JpegSegments.h"
#include "platform/picture/PictureChunks.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const picture::JpegSegments jpeg = picture::WalkJpegSegments(data, size);
  FUZZ_CHECK(!jpeg.hasEnd || jpeg.reachedScan);
  FUZZ_CHECK(jpeg.exif.size() <= size && jpeg.icc.size() <= size);
  const int jpegOrientation = picture::ExifOrientation(jpeg.exif.data(), jpeg.exif.size());
  FUZZ_CHECK(jpegOrientation >= 1 && jpegOrientation <= 8);
  const int orientation = picture::ExifOrientation(data, size);
  FUZZ_CHECK(orientation >= 1 && orientation <= 8);
  for (const auto& exif : {picture::PngExif(data, size), picture::WebpExif(data, size)})
    FUZZ_CHECK(exif.size() <= size);

  picture::DetectHeifBrand(data, size);
  std::uint32_t width = 0, height = 0;
  picture::HeifLargestExtent(data, size, &width, &height);
  FUZZ_CHECK(picture::HeifIccProfile(data, size).size() <= size);
  FUZZ_CHECK(picture::PngIccProfile(data, size).size() <= (16u << 20));
  for (const picture::Chunk& chunk :
       {picture::FindPngChunk(data, size, "IEND"), picture::FindWebpChunk(data, size, "ICCP")})
    FUZZ_CHECK(!chunk.data || (chunk.data >= data && chunk.data + chunk.size <= data + size));

  picture::GifLayout gif;
  if (picture::WalkGif(data, size, &gif)) {
    for (const picture::GifFrame& frame : gif.frames) {
      FUZZ_CHECK(frame.descriptor < frame.end && frame.end <= size &&
                 (frame.control == 0 || frame.control < frame.descriptor));
      const std::vector<std::uint8_t> file = picture::GifFrameFile(data, size, frame);
      FUZZ_CHECK(file.size() >= 14 && std::memcmp(file.data(), "GIF89a", 6) == 0 && file.back() == 0x3B);
    }
  }
  picture::ApngLayout apng;
  if (picture::WalkApng(data, size, &apng)) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const picture::ApngFrame& frame : apng.frames) {
      FUZZ_CHECK(frame.dataBegin && frame.dataBegin < frame.dataEnd && frame.dataEnd <= size);
      const std::vector<std::uint8_t> file = picture::ApngFrameFile(data, size, frame);
      if (file.empty()) continue;
      FUZZ_CHECK(file.size() >= 8 + 25 + 12 && std::memcmp(file.data(), kSignature, 8) == 0);
      FUZZ_CHECK(std::memcmp(file.data() + file.size() - 8, "IEND", 4) == 0);
      FUZZ_CHECK(picture::FindPngChunk(file.data(), file.size(), "IEND").data != nullptr);
    }
  }
  return 0;
}
